// A host's memory stream, for the
// host tests and the persisted-stream fuzzer. Written against the public
// header only.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <scribane/scribane.h>
#include <vector>

namespace host {

// The helpers count their references as any host does.
using scribane::Counted;

// The stream a host hands over: bytes in memory. A seek stays within the
// bytes, so a read after a wild seek gives nothing instead of reading past them.
class MemoryStream final : public Counted<IStream> {
public:
    std::vector<uint8_t> bytes;
    size_t pos = 0;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return answer(object,
                      riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream
                          ? static_cast<IStream*>(this)
                          : nullptr);
    }
    HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
        const size_t n = std::min<size_t>(count, bytes.size() - pos);
        std::copy_n(bytes.begin() + ptrdiff_t(pos), n, static_cast<uint8_t*>(buffer));
        pos += n;
        if (read)
            *read = ULONG(n);
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
        const auto* p = static_cast<const uint8_t*>(buffer);
        if (bytes.size() < pos + count)
            bytes.resize(pos + count);
        std::copy_n(p, count, bytes.begin() + ptrdiff_t(pos));
        pos += count;
        if (written)
            *written = count;
        return S_OK;
    }
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        const int64_t base = origin == STREAM_SEEK_SET   ? 0
                             : origin == STREAM_SEEK_CUR ? int64_t(pos)
                                                         : int64_t(bytes.size());
        pos = size_t(std::clamp<int64_t>(base + move.QuadPart, 0, int64_t(bytes.size())));
        if (position)
            position->QuadPart = pos;
        return S_OK;
    }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }
};

} // namespace host
