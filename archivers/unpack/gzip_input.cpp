#include "gzip_input.h"

#include <fcntl.h>
#include <unistd.h>

namespace kt::unpack {

GzipInput::~GzipInput() {
    if (inflating_) inflateEnd(&z_);
}

bool GzipInput::Open(const std::string& path) {
    kt::arc::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    unsigned char magic[2];
    if (::pread(fd.get(), magic, 2, 0) != 2 || magic[0] != 0x1F || magic[1] != 0x8B) return false;
    // 16 + 15: a gzip wrapper around a 32 KiB window; zlib checks the
    // trailer's CRC-32 and length itself.
    if (inflateInit2(&z_, 16 + 15) != Z_OK) return false;
    fd_.reset(fd.release());
    inflating_ = true;
    in_.resize(64 * 1024);
    out_.resize(64 * 1024);
    return true;
}

bool GzipInput::Fill() {
    ssize_t n = ::read(fd_.get(), in_.data(), in_.size());
    if (n < 0) {
        error_ = "cannot read the archive";
        return false;
    }
    z_.next_in = in_.data();
    z_.avail_in = static_cast<uInt>(n);
    return true;
}

long long GzipInput::Read(const void** data) {
    *data = out_.data();
    if (!error_.empty()) return -1;
    z_.next_out = out_.data();
    z_.avail_out = static_cast<uInt>(out_.size());
    while (!end_ && z_.avail_out == out_.size()) {
        if (z_.avail_in == 0) {
            if (!Fill()) return -1;
            if (z_.avail_in == 0) {
                if (inMember_) {
                    error_ = "the gzip stream ends early (truncated archive)";
                    return -1;
                }
                end_ = true;
                break;
            }
        }
        if (!inMember_) {
            // Another member follows only where its magic does; anything
            // else after a complete member is trailing garbage.
            if (z_.next_in[0] != 0x1F || (z_.avail_in > 1 && z_.next_in[1] != 0x8B)) {
                end_ = true;
                break;
            }
            inMember_ = true;
        }
        int rc = inflate(&z_, Z_NO_FLUSH);
        std::string message = z_.msg ? z_.msg : "";
        if (rc == Z_DATA_ERROR &&
            (message == "incorrect data check" || message == "incorrect length check")) {
            // The trailer, after the member's last byte: the data is all out.
            trailerError_ = "gzip " + message + " (the data is not what was stored)";
            rc = Z_STREAM_END;
        }
        if (rc == Z_STREAM_END) {
            inMember_ = false;
            inflateReset(&z_);
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            error_ = std::string("damaged gzip data: ") + (z_.msg ? z_.msg : "inflate failed");
            return -1;
        }
    }
    return static_cast<long long>(out_.size() - z_.avail_out);
}

bool GzipInput::Finish() {
    const void* data;
    long long n;
    while ((n = Read(&data)) > 0) {
    }
    return n == 0 && !TrailerBad();
}

}  // namespace kt::unpack
