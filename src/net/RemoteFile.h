#pragma once

#include <QByteArray>

// What the server says of the file a download fetches: its size, and the
// validators (ETag, Last-Modified) that change when its content does.
struct RemoteFile {
    qint64 total = -1;
    QByteArray etag;
    QByteArray lastModified;

    bool hasValidator() const { return !etag.isEmpty() || !lastModified.isEmpty(); }
    // The same bytes, as far as the server lets us tell: the same size and
    // the same validators, at least one of them given. Without a validator
    // nothing tells a replaced file of the same size apart.
    bool provablySameAs(const RemoteFile& other) const {
        return hasValidator() && total == other.total && etag == other.etag &&
               lastModified == other.lastModified;
    }
};

// What an earlier download of the same file left: the output holds bytes
// 0 .. from - 1 (a chunk boundary), taken from the file the server
// described then; or, complete, the whole file, which needs no request.
struct Resume {
    qint64 from = 0;
    RemoteFile file;
    bool complete = false;
};
