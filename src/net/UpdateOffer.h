#pragma once

#include <QString>

// What the download server's version file offers besides its version mark.
namespace UpdateOffer {

// The SHA-256 digest of the updater: the second field of the first line
// that holds anything, when it is 64 hex digits (quoted or not), in lower
// case; else empty. Takes time linear in the text, whatever it holds.
QString digest(const QString& versionText);

} // namespace UpdateOffer
