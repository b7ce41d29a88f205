#include "ui/MessagePage.h"

#include "platform/Charset.h"
#include "ui/DefuseScripts.h"
#include "ui/HtmlEscape.h"
#include "ui/InlineCidImages.h"
#include "ui/Linkify.h"

namespace postern {

const std::string_view kPageHead =
    R"HEAD(<!doctype html><html><head><meta charset='utf-8'><meta http-equiv="Content-Security-Policy" content="script-src 'none'; object-src 'none'; frame-src 'none'; form-action 'none'; base-uri 'none'"><style>body{background:#14161a;color:#e6e4e1;margin:0;padding:16px 20px;font:14px 'Segoe UI',sans-serif;} a{color:#d8a03c;} img{max-width:100%;}details{border:1px solid #2a2f38;border-radius:6px;margin:0 0 8px;background:#1b1e24;}summary{list-style:none;cursor:pointer;padding:10px 12px;color:#e8e6e3;}summary::-webkit-details-marker{display:none;}summary::before{content:'\25B8';color:#9aa0a8;margin-right:8px;font-size:11px;}details[open]>summary::before{content:'\25BE';}details[open]>summary{border-bottom:1px solid #2a2f38;}.reply{border-left:3px solid #3a4048;position:relative;}.reply::before{content:'';position:absolute;left:-14px;top:22px;width:11px;height:1px;background:#3a4048;}.who{font-weight:600;} .when{color:#9aa0a8;float:right;font-size:12px;}.body{padding:12px;}</style></head><body>)HEAD";

std::string BodyHtml(const ParsedMessage& message)
{
    if (message.htmlBody.empty()) {
        return "<pre style=\"white-space:pre-wrap;word-wrap:break-word;margin:0;color:#e6e4e1;"
               "font:14px/1.55 'Segoe UI',sans-serif\">"
               + LinkifyText(EscapeHtml(message.textBody)) + "</pre>";
    }
    return "<div style=\"background:#fff;color:#111;padding:12px;border-radius:6px\">"
           + InlineCidImages(DefuseScripts(message.htmlBody), message.parts) + "</div>";
}

std::string MessagePageUtf8(const ParsedMessage& message)
{
    std::string page(kPageHead);
    page += "<div class='body'>";
    page += BodyHtml(message);
    page += "</div></body></html>";
    return page;
}

std::u16string MessagePage(const ParsedMessage& message)
{
    return Utf8ToUtf16(MessagePageUtf8(message));
}

} // namespace postern
