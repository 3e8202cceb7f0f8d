#pragma once
// The title files of the authoring XML the program writes:
//   <vob file="/out/vrel_1A.tmp.mpg" />
// one such element per file, inside one program chain.

#include <string>
#include <string_view>
#include <vector>

// The file attribute of every <vob> element, entities decoded, in order.
// False, with *error saying what is wrong, on a broken element or entity.
bool ReadVobFiles(std::string_view xml, std::vector<std::string>* files, std::string* error);

// Text of an attribute value with its entities decoded: the five named ones
// and numeric ones (decimal and hexadecimal, written out as UTF-8).
bool DecodeXmlText(std::string_view text, std::string* out, std::string* error);
