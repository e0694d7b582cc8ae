// How a URL appears in the run log: people paste Pomvex.log into bug reports, so a password
// typed into a URL's user info never reaches it.
#pragma once

#include <string>

// `url` (CP932 bytes, as typed) with the password of its user info replaced by "*password*",
// the way wget prints it; the user name and every other byte stay as they are. A URL without
// user info, or whose user info has no ':', comes back unchanged. The password is the one the
// session's URL parser would send (UserInfoOfTypedUrl), however many slashes follow the scheme;
// a text that parser refuses, and so never sends, is read byte by byte over its CP932 bytes,
// schemeless too: the log may hide more than curl would take for the password, never less.
std::string UrlForLog(const std::string& url);
