#include "windows/handle_stream.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint64_t FileSize(HANDLE file) {
  LARGE_INTEGER size{};
  return GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

}  // namespace

std::size_t ReadHandleAt(HANDLE file, std::uint64_t offset, void* buffer, std::size_t size) {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    const DWORD wanted = size - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size - done);
    DWORD read = 0;
    if (!ReadFile(file, bytes + done, wanted, &read, &at) || read == 0) break;
    done += read;
  }
  return done;
}

void ReleaseStream(HandleStream* stream) { stream->Release(); }

HRESULT STDMETHODCALLTYPE HandleStream::QueryInterface(REFIID id, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ISequentialStream) || IsEqualIID(id, IID_IStream)) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE HandleStream::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references)); }

ULONG STDMETHODCALLTYPE HandleStream::Release() {
  const LONG left = InterlockedDecrement(&references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// Decoders read in small pieces (a few bytes, 8 KiB): those are served
// from a read-ahead block, as each read of the file costs a system call.
std::size_t HandleStream::ReadAhead(void* buffer, std::size_t size) {
  const bool inBlock = position >= aheadStart && position + size <= aheadStart + ahead.size();
  if (!inBlock) {
    if (size >= AheadBytes) return ReadHandleAt(file.Get(), position, buffer, size);
    ahead.resize(AheadBytes);
    ahead.resize(ReadHandleAt(file.Get(), position, ahead.data(), ahead.size()));
    aheadStart = position;
  }
  const std::size_t offset = static_cast<std::size_t>(position - aheadStart);
  const std::size_t done = std::min(size, ahead.size() - std::min(offset, ahead.size()));
  if (done > 0) std::memcpy(buffer, ahead.data() + offset, done);
  return done;
}

HRESULT STDMETHODCALLTYPE HandleStream::Read(void* buffer, ULONG size, ULONG* read) {
  if (buffer == nullptr) return STG_E_INVALIDPOINTER;
  if (watch && !watch->Allows()) {
    if (read != nullptr) *read = 0;
    return STG_E_READFAULT;
  }
  const std::size_t done = ReadAhead(buffer, size);
  position += done;
  if (watch) watch->Count(done);
  if (read != nullptr) *read = static_cast<ULONG>(done);
  return done == size ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE HandleStream::Write(const void*, ULONG, ULONG*) { return STG_E_ACCESSDENIED; }

HRESULT STDMETHODCALLTYPE HandleStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
  std::int64_t base = 0;
  switch (origin) {
    case STREAM_SEEK_SET: break;
    case STREAM_SEEK_CUR: base = static_cast<std::int64_t>(position); break;
    case STREAM_SEEK_END: base = static_cast<std::int64_t>(FileSize(file.Get())); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  const std::int64_t target = base + move.QuadPart;
  if (target < 0) return STG_E_INVALIDFUNCTION;
  position = static_cast<std::uint64_t>(target);
  if (newPosition != nullptr) newPosition->QuadPart = position;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE HandleStream::SetSize(ULARGE_INTEGER) { return STG_E_ACCESSDENIED; }

HRESULT STDMETHODCALLTYPE HandleStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HandleStream::Commit(DWORD) { return S_OK; }

HRESULT STDMETHODCALLTYPE HandleStream::Revert() { return S_OK; }

HRESULT STDMETHODCALLTYPE HandleStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE HandleStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

// No name: the stream stands for an open file, whatever it was called.
HRESULT STDMETHODCALLTYPE HandleStream::Stat(STATSTG* status, DWORD) {
  if (status == nullptr) return STG_E_INVALIDPOINTER;
  *status = STATSTG{};
  status->type = STGTY_STREAM;
  status->cbSize.QuadPart = FileSize(file.Get());
  status->grfMode = STGM_READ;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE HandleStream::Clone(IStream** copy) {
  if (copy != nullptr) *copy = nullptr;
  return E_NOTIMPL;
}
