# One warning policy for both compilers: -Wall -Wextra, warnings are errors in
# CI so a new one cannot slip in unnoticed.
option(POSTERN_WERROR "Treat warnings as errors" ON)

function(postern_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
    if(POSTERN_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(POSTERN_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()
