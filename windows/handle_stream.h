#pragma once
// A read-only COM stream over an open file, through which GDI+ reads the very file the plugin checked. The stream owns the file
// handle and closes it when its last reference goes. Every read names its
// own offset, so reading the file elsewhere (ReadHandleAt) never moves the
// stream's position, nor the other way round.

#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "plugin/read_watch.h"
#include "windows/owners.h"

std::size_t ReadHandleAt(HANDLE file, std::uint64_t offset, void* buffer, std::size_t size);

class HandleStream final : public IStream {
 public:
  explicit HandleStream(HANDLE fileToOwn) : file(fileToOwn) {}
  HANDLE File() const { return file.Get(); }
  // Later Reads count their bytes in the watch, and fail once its stop is
  // set: GDI+ then gives up a load nobody waits for.
  void WatchReads(const std::shared_ptr<ReadWatch>& readWatch) { watch = readWatch; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override;
  HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override;
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                   ULARGE_INTEGER* written) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* status, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override;

 private:
  static constexpr std::size_t AheadBytes = 64 * 1024;

  ~HandleStream() = default;  // only Release destroys it
  std::size_t ReadAhead(void* buffer, std::size_t size);

  LONG references = 1;
  std::shared_ptr<ReadWatch> watch;
  UniqueFileHandle file;
  std::uint64_t position = 0;
  std::vector<char> ahead;
  std::uint64_t aheadStart = 0;
};
