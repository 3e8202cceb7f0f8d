#pragma once
// The texts of the two authoring files: the batch that prepares the
// authoring folder and runs ar.exe, and the XML that describes the disc.

#include <string>
#include <vector>

// One task-1 source and the temporary name its copy goes to.
struct AuthoringCopy {
    std::string source;
    std::string target;
};

// A path as one shell word that nothing in it can break out of: single
// quotes, each ' written as '\'', and "./" before a path that starts with
// '-', so no command takes it for an option.
std::string ShellQuotePath(const std::string& path);

// The batch, line by line: each copy (a hard link where it can be), the
// authoring folder created, every file below it deleted (folders stay),
// ar.exe run. It keeps the name "kzxtmpfb001.bat" but is a POSIX shell
// script, since there is no command interpreter for batch files here. A
// step that fails ends the script with its exit status.
std::string AuthoringBatchText(const std::vector<AuthoringCopy>& copies, const std::string& folder,
                               const std::string& xml, const std::string& programFolder);

// The text as an XML attribute value: &, < and " as entities; tab, line feed
// and carriage return as character references, which a parser would
// otherwise turn into blanks.
std::string XmlAttributeValue(const std::string& text);

// One title set with one title whose program chain plays the files in order.
// Every line ends in CR LF.
std::string AuthoringXmlText(const std::vector<std::string>& files);
