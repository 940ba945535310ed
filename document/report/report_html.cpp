#include "document/report/report_html.h"

#include <cstdio>

#include "config/localization.h"
#include "config/preferences.h"
#include "document/report/certificate_facts.h"
#include "document/report/report_details.h"
#include "document/report/report_lines.h"
#include "document/report/timestamp_line.h"
#include "foundation/handle.h"
#include "foundation/io/file_identity.h"
#include "foundation/text/readable_text.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;

namespace Dossiq::Documents {

namespace {

const ReportTexts kHtmlTexts = {IDS_HTML_NOT_TAMPERED, IDS_HTML_TAMPERED, IDS_HTML_NOT_CHECKED,
                                IDS_HTML_NOT_CHECKED, true};

const char kStyle[] =
    "body{font-family:Segoe UI,Arial,sans-serif;font-size:11pt;margin:2em;color:#000}"
    "h1{font-size:16pt;margin-bottom:.2em}h2{font-size:13pt;border-bottom:1px solid #999;"
    "margin-top:1.4em}h3{font-size:11pt;margin:.8em 0 .2em}p{margin:.2em 0}"
    ".lines p{margin:.1em 0}.blue{color:#0000ff;font-weight:bold}.red{color:#ff0000;"
    "font-weight:bold}.black{color:#000}.advice{margin-left:1.5em}.meta{color:#444}"
    "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:.2em .5em;"
    "text-align:left;vertical-align:top}td.n{text-align:right}code{font-family:Consolas,"
    "monospace}ul.path,ul.path ul{list-style:none;padding-left:1.4em}ul.path{padding-left:0}"
    ".bad{color:#c00000}@media print{body{margin:0}}";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length = ::WideCharToMultiByte(
        CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                          length, nullptr, nullptr);
    return out;
}

// Text as HTML character data or a double-quoted attribute value, with control and
// bidirectional characters spelled out.
std::string Html(const std::wstring& text) {
    std::string out;
    for (char c : Utf8(MHFX::ReadableText(text))) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::wstring Fill(std::wstring text, const std::wstring& value) {
    const size_t at = text.find(L"%1");
    return at == std::wstring::npos ? text : text.replace(at, 2, value);
}

std::wstring BaseName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

const char* LanguageTag() {
    switch (Preferences::Instance().Language()) {
    case LanguageSerbianLatin:
        return "sr-Latn";
    case LanguageSerbianCyrillic:
        return "sr-Cyrl";
    default:
        return "en";
    }
}

void Lines(const ValidationReport& report, std::string& page) {
    page += "<div class=\"lines\">";
    for (const ReportLine& line : ReportLinesOf(report, kHtmlTexts)) {
        const char* style = line.colour == ReportBlue  ? "blue"
                            : line.colour == ReportRed ? "red"
                                                       : "black";
        page += std::string("<p class=\"") + style + "\">" +
                Html(line.textId ? LoadLocalizedString(line.textId) : L"") + "</p>";
    }
    // The windows' extra line after the six: which time the checks were made at.
    const std::wstring timestamp = TimestampLineText(report.Selected().timestamp);
    if (!timestamp.empty()) {
        page += "<p class=\"black\">" + Html(timestamp) + "</p>";
    }
    page += "</div>";
}

void Details(const ValidationReport& report, std::string& page) {
    page += "<h2>" + Html(DetailsHeading()) + "</h2>";
    const std::vector<ReportDetail> details = DetailsOf(report, report.Selected());
    if (details.empty()) {
        page += "<p>" + Html(LoadLocalizedString(IDS_HTML_NO_DETAILS)) + "</p>";
    }
    for (const ReportDetail& detail : details) {
        const DetailText text = DetailTextOf(detail);
        page += "<h3>" + Html(text.title) + "</h3><p>" + Html(text.text) + "</p>";
        if (!text.advice.empty()) {
            page += "<p class=\"advice\"><b>" + Html(AdviceLabel()) + "</b> " + Html(text.advice) +
                    "</p>";
        }
    }
}

void Signer(const SignatureFacts& signature, std::string& page) {
    if (!signature.signer.present) {
        return;
    }
    const SignerReport& signer = signature.signer;
    page += "<h2>" + Html(LoadLocalizedString(IDS_HTML_SIGNER)) + "</h2><table>";
    const std::wstring values[] = {signer.subject,
                                   signer.issuer,
                                   signer.serial,
                                   ReadableDate(signer.notBefore),
                                   ReadableDate(signer.notAfter),
                                   signer.email,
                                   signer.thumbprint};
    for (size_t i = 0; i < std::size(values); ++i) {
        page += "<tr><th>" + Html(LocalizedListItem(IDS_HTML_SIGNER_FIELDS, i)) + "</th><td>" +
                Html(values[i]) + "</td></tr>";
    }
    page += "</table>";
}

void Path(const SignatureFacts& signature, std::string& page) {
    if (!signature.signer.present) {
        return;
    }
    page += "<h2>" + Html(LoadLocalizedString(IDS_HTML_CHAIN)) + "</h2>";
    if (signature.chain.empty()) {
        page += "<p>" + Html(LoadLocalizedString(IDS_HTML_NOT_CHECKED)) + "</p>";
        return;
    }
    // Root first, each issued certificate one level in, as the system's path view shows it.
    std::string close;
    for (size_t i = signature.chain.size(); i-- > 0;) {
        const ChainElementReport& element = signature.chain[i];
        page += std::string(i + 1 == signature.chain.size() ? "<ul class=\"path\">" : "<ul>") +
                "<li><b>" + Html(element.name) + "</b> &mdash; <span" +
                (element.errors == 0 ? "" : " class=\"bad\"") + ">" +
                Html(ChainElementStatusText(element)) + "</span>";
        close += "</li></ul>";
    }
    page += close;
}

void Files(const ValidationReport& report, std::string& page) {
    page += "<h2>" + Html(LoadLocalizedString(IDS_HTML_FILES)) + "</h2><table><tr>";
    for (size_t i = 0; i < 4; ++i) {
        page += "<th>" + Html(LocalizedListItem(IDS_HTML_FILE_COLUMNS, i)) + "</th>";
    }
    page += "</tr>";
    for (const EntryReport& entry : report.entries) {
        char crc[16];
        std::snprintf(crc, sizeof(crc), "%08X", static_cast<unsigned>(entry.crc32));
        page += "<tr><td>" + Html(entry.name) + "</td><td class=\"n\">" +
                std::to_string(entry.size) + "</td><td><code>" + crc + "</code></td><td>" +
                Html(entry.time.size() >= 16
                         ? entry.time.substr(0, 10) + L" " + entry.time.substr(11, 5)
                         : entry.time) +
                "</td></tr>";
    }
    page += "</table>";
}

} // namespace

std::string ReportHtml(const ValidationReport& report, const std::wstring& savedAt) {
    const std::wstring name = BaseName(report.path);
    const std::string title = Html(Fill(LoadLocalizedString(IDS_HTML_TITLE), name));
    std::string page =
        std::string("<!DOCTYPE html>\n<html lang=\"") + LanguageTag() +
        "\"><head><meta charset=\"utf-8\"><title>" + title + "</title><style>" + kStyle +
        "</style></head><body><h1>" + title + "</h1><p class=\"meta\">" +
        Html(LoadLocalizedString(IDS_HTML_CONTAINER)) + ": <code>" + Html(report.path) +
        "</code></p><p class=\"meta\">" +
        Html(Fill(LoadLocalizedString(IDS_HTML_CHECKED), ReadableDate(report.checkedAt))) +
        "</p><h2>" + Html(LoadLocalizedString(IDS_HTML_RESULT)) + "</h2>";
    Lines(report, page);
    Details(report, page);
    // The page shows the selected signature, as the window it is saved from does.
    Signer(report.Selected(), page);
    Path(report.Selected(), page);
    Files(report, page);
    page += "<p class=\"meta\" style=\"margin-top:2em\">" +
            Html(Fill(LoadLocalizedString(IDS_HTML_FOOTER), ReadableDate(savedAt))) +
            "</p></body></html>\n";
    return page;
}

std::wstring ReportFileName(const std::wstring& containerPath) {
    return BaseName(containerPath) + L".html";
}

bool SaveReportHtml(const ValidationReport& report, const std::wstring& file) {
    // The page never lands on the container it reports on, whatever the spelling.
    if (MHFX::IO::IsSameFile(file, report.path)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const std::string page = ReportHtml(report, IsoUtc(now));
    // Written beside the target and renamed into place: a failed write leaves the previous
    // report whole.
    const size_t slash = file.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : file.substr(0, slash + 1);
    wchar_t temporary[MAX_PATH * 4] = {};
    if (folder.size() >= MAX_PATH - 14 ||
        !::GetTempFileNameW(folder.c_str(), L"dsq", 0, temporary)) {
        return false;
    }
    bool written = false;
    {
        MHFX::FileHandle handle(::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr,
                                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        written = handle &&
                  ::WriteFile(handle.get(), page.data(), static_cast<DWORD>(page.size()), &done,
                              nullptr) &&
                  done == page.size() && ::FlushFileBuffers(handle.get());
    }
    written = written && ::MoveFileExW(temporary, file.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary);
        ::SetLastError(error);
    }
    return written;
}

} // namespace Dossiq::Documents
