// How a URL appears in the run log: people paste Pomvex.log into bug reports, so a password
// typed into a URL's user info never reaches it.
#pragma once

#include <string>

// `url` (CP932 bytes, as typed) with the password of its user info replaced by "*password*",
// the way wget prints it; the user name and every other byte stay as they are. A URL without
// user info, or whose user info has no ':', comes back unchanged.
// The scan is byte by byte, as curl reads the URL: a CP932 trail byte 0x40 is an '@' to curl,
// so it ends the user info here too and the password before it is hidden.
std::string UrlForLog(const std::string& url);
