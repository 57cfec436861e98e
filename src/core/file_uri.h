// file: URIs as the desktop passes them (drops, the media controls' OpenUri, the song's URL) and
// the paths they name. A path is bytes: what is not a plain character travels percent-encoded,
// so a name in any encoding makes the round trip unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zirvak {

// The one path a `file:` URI names ("file:///a%20b.mp3", "file://localhost/..."; the scheme in
// any letter case; a query or fragment ends it), with its "." and ".." segments resolved as in
// any URI, or nothing when it names no local file: another scheme or host, a relative path, a
// broken %-escape, or a name holding an escaped NUL or slash.
std::optional<std::string> PathFromFileUri(const std::string& uri);

// The local files among the lines of a URI list (a drop's text/uri-list; comments and other
// schemes left out), each as the bytes its URI encodes.
std::vector<std::string> PathsOfUriList(std::string_view list);

// The URI of absolute path `path`: every byte but the unreserved and path characters
// percent-encoded.
std::string FileUriFromPath(const std::string& path);

// `path` made absolute against the current folder, as bytes: nothing resolved or decoded.
std::string AbsolutePath(const std::string& path);

}  // namespace zirvak
