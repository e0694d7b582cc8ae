// The text of a list file as the list box takes it: CP932 as the program writes it, or UTF-8
// (with or without a byte-order mark) as Linux editors write it; CR LF after every line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/File.h"

// Every byte of a file open for reading. Throws CFileException.
std::string ReadAllBytes(CFile& file);

// The list in `bytes`: valid UTF-8 with something outside ASCII is UTF-8, anything else CP932
// taken byte for byte. nullopt when a line of a UTF-8 list has no CP932 form; *error is then
// the message that names the line. Never throws but for memory.
std::optional<std::string> ListFromBytes(std::string_view bytes, std::string* error);

// The list in the file at `systemPath` (the system's name for it). nullopt, with *error set to
// the message for it, when the file cannot be opened or read, is not a regular file, or has a
// line with no CP932 form.
std::optional<std::string> ListFromFile(const std::string& systemPath, std::string* error);
