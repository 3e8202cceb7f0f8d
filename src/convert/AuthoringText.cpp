#include "convert/AuthoringText.h"

namespace {

// The batch runs under /bin/sh, so its lines end in LF alone: a CR would
// become the last character of each command's last argument.
constexpr const char* kBatchEnd = "\n";
constexpr const char* kXmlEnd = "\r\n";

} // namespace

std::string ShellQuotePath(const std::string& path)
{
    std::string quoted = "'";
    if (!path.empty() && path.front() == '-')
        quoted += "./";
    for (char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string AuthoringBatchText(const std::vector<AuthoringCopy>& copies, const std::string& folder,
                               const std::string& xml, const std::string& programFolder)
{
    const std::string quotedFolder = ShellQuotePath(folder);
    std::string text;
    // A hard link costs nothing where the kernel allows one (the same file
    // system, a file the user may link); otherwise cp clones or copies. The
    // tools only read their inputs, so nothing writes through the link, and
    // the copy's old name is removed first, so a copy never writes into
    // what an earlier try linked there.
    for (const AuthoringCopy& copy : copies) {
        const std::string names = ShellQuotePath(copy.source) + " " + ShellQuotePath(copy.target);
        text += "cp -lf -- " + names + " 2>/dev/null || cp --remove-destination -- " + names + " || exit" +
                kBatchEnd;
    }
    text += "mkdir -p -- " + quotedFolder + " || exit" + kBatchEnd;
    // A file left from an earlier run must not pass for this run's result.
    text += "find " + quotedFolder + " ! -type d -delete || exit" + kBatchEnd;
    text += ShellQuotePath(programFolder + "ar.exe") + " -o " + quotedFolder + " -x " + ShellQuotePath(xml)
        + kBatchEnd;
    return text;
}

std::string XmlAttributeValue(const std::string& text)
{
    std::string value;
    for (char c : text) {
        switch (c) {
        case '&': value += "&amp;"; break;
        case '<': value += "&lt;"; break;
        case '"': value += "&quot;"; break;
        case '\t': value += "&#9;"; break;
        case '\n': value += "&#10;"; break;
        case '\r': value += "&#13;"; break;
        default: value += c;
        }
    }
    return value;
}

std::string AuthoringXmlText(const std::vector<std::string>& files)
{
    std::string text;
    auto line = [&text](const std::string& content) { text += content + kXmlEnd; };
    line("<dvdauthor>");
    line("\t<vmgm />");
    line("\t\t<titleset>");
    line("\t\t\t<titles>");
    line("            <pgc>");
    for (const std::string& file : files)
        line("            <vob file=\"" + XmlAttributeValue(file) + "\" />");
    line("            </pgc>");
    line("\t\t\t</titles>");
    line("\t\t</titleset>");
    line("</dvdauthor>");
    return text;
}
