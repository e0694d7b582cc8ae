// How a URL appears in the run log: people paste Pomvex.log into bug reports, so a password
// typed into a URL's user info never reaches it.
#pragma once

#include <string>

// `url` (CP932 bytes, as typed) with the password of its user info replaced by "*password*",
// the way wget prints it; the user name and every other byte stay as they are. A URL without
// user info, or whose user info has no ':', comes back unchanged.
// The scan is byte by byte over the typed CP932 text, so a CP932 trail byte 0x40 ends the user
// info here too: the log may hide more than curl (which is given the URL as UTF-8) takes for
// the password, never less.
std::string UrlForLog(const std::string& url);
