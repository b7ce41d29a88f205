# The WebView2 SDK comes from its NuGet package, restored at configure time
# with dotnet; no SDK file is kept in the repository. The loader DLL is copied
# next to postern.exe and loaded at run time, since a static import would stop
# the program from starting where the DLL is missing.
set(WEBVIEW2_VERSION 1.0.2903.40)
set(WEBVIEW2_RESTORE_DIR ${CMAKE_BINARY_DIR}/nuget)
set(WEBVIEW2_PACKAGE_DIR ${WEBVIEW2_RESTORE_DIR}/packages/microsoft.web.webview2/${WEBVIEW2_VERSION})

if(NOT EXISTS ${WEBVIEW2_PACKAGE_DIR}/build/native/include/WebView2.h)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/webview2/WebView2Sdk.csproj
                 ${WEBVIEW2_RESTORE_DIR}/WebView2Sdk.csproj COPYONLY)
  execute_process(
    COMMAND dotnet restore WebView2Sdk.csproj --packages ${WEBVIEW2_RESTORE_DIR}/packages
    WORKING_DIRECTORY ${WEBVIEW2_RESTORE_DIR}
    RESULT_VARIABLE webview2_restore_result
    OUTPUT_VARIABLE webview2_restore_output
    ERROR_VARIABLE webview2_restore_output)
  if(NOT webview2_restore_result EQUAL 0
     OR NOT EXISTS ${WEBVIEW2_PACKAGE_DIR}/build/native/include/WebView2.h)
    message(FATAL_ERROR "Restoring the WebView2 SDK failed:\n${webview2_restore_output}")
  endif()
endif()

add_library(webview2_sdk INTERFACE)
# The SDK's headers are third-party code: include them as system headers so
# their warnings do not count against ours.
target_include_directories(webview2_sdk SYSTEM INTERFACE ${WEBVIEW2_PACKAGE_DIR}/build/native/include)
# The SDK includes <EventToken.h>; mingw-w64 ships it as <eventtoken.h>, which
# a case-sensitive file system does not find. A one-line forwarding header
# bridges the spelling.
if(MINGW)
  set(WEBVIEW2_COMPAT_DIR ${CMAKE_BINARY_DIR}/webview2-compat)
  file(WRITE ${WEBVIEW2_COMPAT_DIR}/EventToken.h "#include <eventtoken.h>\n")
  target_include_directories(webview2_sdk SYSTEM INTERFACE ${WEBVIEW2_COMPAT_DIR})
endif()
set(WEBVIEW2_LOADER_DLL ${WEBVIEW2_PACKAGE_DIR}/build/native/x64/WebView2Loader.dll)
file(COPY ${WEBVIEW2_LOADER_DLL} DESTINATION ${CMAKE_BINARY_DIR})
