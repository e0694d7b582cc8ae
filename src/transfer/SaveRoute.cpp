#include "transfer/SaveRoute.h"

#include <cerrno>
#include <string_view>

#include "platform/FileMark.h"
#include "platform/FileSystem.h"
#include "transfer/BatchNames.h"
#include "transfer/UrlCredentials.h"

namespace {

constexpr char kPartialMark[] = "user.pomvex.partial";
constexpr char kOriginMark[] = "user.xdg.origin.url";
// URL, validator, size and modification time (ns) of a complete download, NUL between them.
constexpr char kCompleteMark[] = "user.pomvex.complete";
constexpr char kPartSuffix[] = ".part";

// gopher and file: URLs are always copied whole: the one has no ranges, the other is local.
bool AlwaysFromStart(const std::string& url) {
    auto startsWith = [&](std::string_view scheme) {
        if (url.size() < scheme.size()) return false;
        for (size_t i = 0; i < scheme.size(); ++i)
            if ((url[i] | 0x20) != scheme[i]) return false;
        return true;
    };
    return startsWith("gopher:") || startsWith("file:");
}

// "<name>.part" beside `target`, the name cut so that the whole fits the folder: a name that
// fits may still be pushed over the limit by the suffix.
std::string PartPathOf(const std::string& target) {
    const size_t slash = target.find_last_of('/');  // never a CP932 trail byte
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const size_t nameMax = NameMaxOfFolder(folder);
    const size_t suffix = sizeof kPartSuffix - 1;
    return folder + FitName(target.substr(folder.size()), nameMax > suffix ? nameMax - suffix : 0) +
           kPartSuffix;
}

// A save folder that does not exist yet is made, parents and all (as wget -P, curl
// --create-dirs and aria2 -d do): a mistyped or not yet created folder must not cost every job of
// the night. A path without a folder part, or without a name, is left to the open.
bool MakeFolderOf(const std::string& path, CFileException* error) {
    const size_t slash = path.find_last_of('/');  // never a CP932 trail byte
    if (slash == std::string::npos || slash == 0 || slash + 1 == path.size()) return true;
    if (MakeDirectories(path.substr(0, slash))) return true;
    if (error) *error = CFileException::FromErrno(errno, path);
    return false;
}

// The complete mark's text for `path` as it is now.
std::string CompleteMarkOf(const std::string& markUrl, const std::string& validator,
                           const PathStatus& status) {
    return markUrl + '\0' + validator + '\0' + std::to_string(status.size) + '\0' +
           std::to_string(status.mtimeNs);
}

}  // namespace

std::optional<PartialMark> ReadPartialMark(const std::string& path) {
    auto value = filemark::Get(path, kPartialMark);
    if (!value) return std::nullopt;
    size_t nul = value->find('\0');
    if (nul == std::string::npos) return std::nullopt;
    return PartialMark{value->substr(0, nul), value->substr(nul + 1)};
}

SaveRoute PlanSave(const std::string& target, const std::string& url) {
    SaveRoute route;
    route.target = target;
    route.writePath = target;
    const PathStatus targetStatus = StatusOfPath(target);
    // A folder, a FIFO or a device: the open refuses it.
    if (targetStatus.kind == PathKind::other) return route;
    route.createsNew = targetStatus.kind == PathKind::missing;

    const auto markUrl = UrlWithoutCredentials(url, true);
    const bool mayResume = markUrl && !AlwaysFromStart(url);
    auto resumable = [&](const std::string& path,
                         unsigned long long size) -> std::optional<ResumeFrom> {
        if (!mayResume || size == 0) return std::nullopt;
        auto mark = ReadPartialMark(path);
        if (!mark || mark->url != *markUrl || mark->validator.empty()) return std::nullopt;
        return ResumeFrom{static_cast<int64_t>(size), mark->validator};
    };
    route.marks = true;

    // A partial copy under the target name is no copy the user would miss: it is continued or
    // written again in place.
    if (targetStatus.kind == PathKind::regular && ReadPartialMark(target)) {
        route.resume = resumable(target, targetStatus.size);
        return route;
    }
    // A copy that was touched since it was done (its size or time moved) is not trusted.
    if (targetStatus.kind == PathKind::regular && mayResume) {
        auto mark = filemark::Get(target, kCompleteMark);
        const size_t urlEnd = mark ? mark->find('\0') : std::string::npos;
        if (urlEnd != std::string::npos && mark->compare(0, urlEnd, *markUrl) == 0) {
            const size_t validatorEnd = mark->find('\0', urlEnd + 1);
            std::string validator = mark->substr(urlEnd + 1, validatorEnd - urlEnd - 1);
            if (validatorEnd != std::string::npos && !validator.empty() &&
                *mark == CompleteMarkOf(*markUrl, validator, targetStatus))
                route.ifChanged = std::move(validator);
        }
    }
    const std::string part = PartPathOf(target);
    const PathStatus partStatus = StatusOfPath(part);
    auto partResume =
        partStatus.kind == PathKind::regular ? resumable(part, partStatus.size) : std::nullopt;
    if (targetStatus.kind == PathKind::regular || targetStatus.kind == PathKind::link) {
        // A link has nothing of its own to hold: the rename replaces the link itself.
        route.writePath = part;
        route.guardsTarget = targetStatus.kind == PathKind::regular;
        route.resume = partResume;
        route.createsNew = partStatus.kind == PathKind::missing;
    } else if (partResume) {
        // The old file is gone, its unfinished replacement is not: that is continued.
        route.writePath = part;
        route.resume = partResume;
        route.createsNew = false;
    }
    return route;
}

bool OpenSaveFile(const SaveRoute& route, int64_t from, CFile& out, CFile& guard,
                  CFileException* error) {
    if (from > 0 && (!route.resume || route.resume->offset != from)) {
        // The server continued a copy that is not this route's: there is nothing to splice onto.
        if (error) *error = CFileException(CFileException::invalidFile, route.writePath, EINVAL);
        return false;
    }
    if (!MakeFolderOf(route.writePath, error)) return false;
    // Only a regular file is ever opened, and never through a link (one made since the plan).
    constexpr unsigned kFileOnly = CFile::modeNoFollow | CFile::modeRegularOnly;
    if (route.guardsTarget &&
        !guard.Open(route.target, CFile::modeWrite | CFile::shareExclusive | kFileOnly, error))
        return false;
    // Something other than a file in the way of the .part (a folder, a FIFO, a link) is not
    // written through.
    const PathKind partKind =
        route.writePath != route.target ? StatusOfPath(route.writePath).kind : PathKind::missing;
    if (partKind == PathKind::other || partKind == PathKind::link) {
        if (error) *error = CFileException(CFileException::accessDenied, route.writePath, EEXIST);
        return false;
    }
    unsigned flags = CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | kFileOnly;
    if (from > 0)
        flags |= CFile::modeNoTruncate;
    else if (route.createsNew)
        flags |= CFile::modeCreateNew;
    if (!out.Open(route.writePath, flags, error)) return false;
    if (from > 0) {
        try {
            // Held exclusively from here on: a length that moved since the plan means another
            // writer, and the rest must not be spliced onto bytes it did not follow.
            if (out.SeekToEnd() != static_cast<unsigned long long>(from)) {
                if (error)
                    *error =
                        CFileException(CFileException::sharingViolation, route.writePath, EBUSY);
                out.Close();
                return false;
            }
        } catch (const CFileException& e) {
            if (error) *error = e;
            return false;
        }
    }
    return true;
}

void MarkPartial(const SaveRoute& route, const std::string& url, const std::string& validator) {
    if (!route.marks) return;
    auto markUrl = UrlWithoutCredentials(url, true);
    if (!markUrl) return;
    filemark::Remove(route.writePath, kOriginMark);
    filemark::Remove(route.writePath, kCompleteMark);
    filemark::Set(route.writePath, kPartialMark, *markUrl + '\0' + validator);
}

void CompleteSave(const SaveRoute& route, const std::string& url, const std::string& validator) {
    if (route.marks) {
        filemark::Remove(route.writePath, kPartialMark);
        if (auto origin = UrlWithoutCredentials(url, false))
            filemark::Set(route.writePath, kOriginMark, *origin);
        // Marks change the file's ctime only: the time recorded stays the file's, and the
        // rename below keeps it.
        const PathStatus status = StatusOfPath(route.writePath);
        auto markUrl = UrlWithoutCredentials(url, true);
        if (!validator.empty() && markUrl && !AlwaysFromStart(url) &&
            status.kind == PathKind::regular)
            filemark::Set(route.writePath, kCompleteMark,
                          CompleteMarkOf(*markUrl, validator, status));
    }
    if (route.writePath != route.target) CFile::Rename(route.writePath, route.target);
}
