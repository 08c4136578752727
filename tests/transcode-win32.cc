// Transcode with the code page functions of Win32, through UTF-16.
//
// Both steps are checked by converting back: a character the target can
// only approximate (a best fit or the default character) breaks the round
// trip, and the conversion fails as iconv's does. One difference remains:
// Windows decodes a byte its table leaves undefined (0x98 in CP1251) as
// the C1 control of that number, where iconv refuses it; either way the
// result matches no readable text.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "tests/transcode.h"

namespace mboxclean::testing {
namespace {

std::optional<UINT> CodePage(const char* name) {
  struct Entry {
    const char* name;
    UINT code_page;
  };
  static constexpr Entry kCodePages[] = {
      {"UTF-8", CP_UTF8}, {"KOI8-R", 20866}, {"CP1251", 1251}, {"CP866", 866}, {"ASCII", 20127},
  };
  for (const Entry& entry : kCodePages) {
    if (std::strcmp(entry.name, name) == 0) return entry.code_page;
  }
  return std::nullopt;
}

std::optional<std::wstring> ToWide(std::string_view bytes, UINT code_page) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int wide_size =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (wide_size == 0) return std::nullopt;
  std::wstring wide(wide_size, L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), wide_size);
  return wide;
}

std::optional<std::string> FromWide(const std::wstring& wide, UINT code_page) {
  if (wide.empty()) return std::string();
  // UTF-8 takes no best-fit flag; every other code page must not guess.
  const DWORD flags = code_page == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(wide.size());
  const int byte_size =
      WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (byte_size == 0) return std::nullopt;
  std::string bytes(byte_size, '\0');
  WideCharToMultiByte(code_page, flags, wide.data(), size, bytes.data(), byte_size, nullptr,
                      nullptr);
  return bytes;
}

}  // namespace

std::optional<std::string> Transcode(std::string_view bytes, const char* from, const char* to) {
  const std::optional<UINT> from_page = CodePage(from);
  const std::optional<UINT> to_page = CodePage(to);
  if (!from_page || !to_page) return std::nullopt;
  const std::optional<std::wstring> wide = ToWide(bytes, *from_page);
  if (!wide || FromWide(*wide, *from_page) != bytes) return std::nullopt;
  std::optional<std::string> result = FromWide(*wide, *to_page);
  if (!result || ToWide(*result, *to_page) != wide) return std::nullopt;
  return result;
}

}  // namespace mboxclean::testing
