// Reading an archive back: listing its entries and unpacking them into a folder they cannot leave.
#pragma once
#include <filesystem>
#include <ostream>
#include <string>

// Where an entry of that stored name lands below a folder: its parts split at '/' and '\\'
// (archives made with folders kept use backslashes), "." and empty parts dropped. False,
// with the reason, for a name that could land outside the folder: empty, absolute ("/x",
// "\\x"), with a drive ("c:x") or with a ".." part.
bool EntryPathBelow(const std::string& name, std::filesystem::path& relative, std::string& reason);

// One line per entry in directory order (packed size, unpacked size, name; "unreadable"
// after an entry whose sizes cannot be right), then a line of totals. False with a
// message when the archive cannot be opened or its directory is damaged.
bool ListPak(const std::string& archive, std::ostream& out, std::string& error);

// Unpacks every entry below folder (created when missing), one line per file written.
// Every name is checked before anything is written: one that would escape the folder
// refuses the whole archive. A later entry landing where an earlier one did is skipped
// (a player reads the first of two equal names); a path through a symbolic link is
// refused. Entries that fail to unpack or write are reported in error and the rest are
// still extracted; the result is true only when every entry was written or skipped.
bool ExtractPak(const std::string& archive, const std::string& folder, std::ostream& out, std::string& error);
