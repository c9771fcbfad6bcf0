#include "fd_output_stream.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/fault_injection.h"

namespace {

struct KtFdStream {
    GOutputStream parent;
    int fd;
    goffset position;
    goffset size;
};

struct KtFdStreamClass {
    GOutputStreamClass parent_class;
};

void kt_fd_stream_seekable_init(GSeekableIface* iface);

G_DEFINE_TYPE_WITH_CODE(KtFdStream, kt_fd_stream, G_TYPE_OUTPUT_STREAM,
                        G_IMPLEMENT_INTERFACE(G_TYPE_SEEKABLE, kt_fd_stream_seekable_init))

KtFdStream* Self(void* stream) { return reinterpret_cast<KtFdStream*>(stream); }

void SetError(GError** error, int code) {
    g_set_error_literal(error, G_IO_ERROR, g_io_error_from_errno(code), g_strerror(code));
}

gssize WriteAt(GOutputStream* stream, const void* data, gsize size, GCancellable* cancel,
               GError** error) {
    if (g_cancellable_set_error_if_cancelled(cancel, error)) return -1;
    KtFdStream* self = Self(stream);
    ssize_t n = kt::fault::PWrite(self->fd, data, size, self->position);
    if (n < 0) {
        SetError(error, errno);
        return -1;
    }
    self->position += n;
    if (self->position > self->size) self->size = self->position;
    return n;
}

goffset Tell(GSeekable* s) { return Self(s)->position; }

gboolean CanSeek(GSeekable*) { return TRUE; }

gboolean Seek(GSeekable* s, goffset offset, GSeekType type, GCancellable*, GError** error) {
    KtFdStream* self = Self(s);
    goffset base = type == G_SEEK_SET ? 0 : type == G_SEEK_CUR ? self->position : self->size;
    if (base + offset < 0) {
        SetError(error, EINVAL);
        return FALSE;
    }
    self->position = base + offset;
    return TRUE;
}

gboolean CanTruncate(GSeekable*) { return FALSE; }

gboolean Truncate(GSeekable*, goffset, GCancellable*, GError** error) {
    SetError(error, ENOTSUP);
    return FALSE;
}

void kt_fd_stream_seekable_init(GSeekableIface* iface) {
    iface->tell = Tell;
    iface->can_seek = CanSeek;
    iface->seek = Seek;
    iface->can_truncate = CanTruncate;
    iface->truncate_fn = Truncate;
}

void kt_fd_stream_class_init(KtFdStreamClass* klass) {
    G_OUTPUT_STREAM_CLASS(klass)->write_fn = WriteAt;
}

void kt_fd_stream_init(KtFdStream* self) {
    self->fd = -1;
    self->position = 0;
    self->size = 0;
}

}  // namespace

namespace kt::cab32 {

GOutputStream* NewFdOutputStream(int fd) {
    auto* self = static_cast<KtFdStream*>(g_object_new(kt_fd_stream_get_type(), nullptr));
    self->fd = fd;
    struct stat st;
    self->size = fstat(fd, &st) == 0 ? st.st_size : 0;
    return G_OUTPUT_STREAM(self);
}

}  // namespace kt::cab32
