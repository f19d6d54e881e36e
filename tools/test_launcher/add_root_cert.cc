// Makes certificates trusted roots for the current Windows user, for the
// test run's Wine prefix: the development code-signing root and the CA of
// the local HTTPS services.
//
//   add_root_cert.exe <certificate file>...
//
// Each file holds one certificate, DER or PEM. A certificate already in the
// user's ROOT store is left alone, so running it again changes nothing.
// Prints one line per file ("added" or "present" and the path) and exits
// with 0, or with 1 when a file could not be read or added.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/scoped_handle.h"

namespace {

bool ReadFileBytes(const wchar_t* path, std::vector<BYTE>* bytes) {
  base::ScopedFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) return false;
  LARGE_INTEGER size = {};
  bool ok = ::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
            size.QuadPart < (1 << 20);
  if (ok) {
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = ::ReadFile(file.Get(), bytes->data(),
                    static_cast<DWORD>(bytes->size()), &read, nullptr) &&
         read == bytes->size();
  }
  return ok;
}

// DER as it is, or the first PEM block decoded.
bool ToDer(const std::vector<BYTE>& file, std::vector<BYTE>* der) {
  std::string text(file.begin(), file.end());
  if (text.find("-----BEGIN") == std::string::npos) {
    *der = file;
    return true;
  }
  DWORD size = 0;
  if (!::CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size,
                              nullptr, nullptr)) {
    return false;
  }
  der->resize(size);
  return ::CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()),
                                CRYPT_STRING_BASE64HEADER, der->data(), &size,
                                nullptr, nullptr) != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: add_root_cert <certificate file>...\n");
    return 1;
  }
  HCERTSTORE store = ::CertOpenSystemStoreW(0, L"ROOT");
  if (!store) {
    std::fprintf(stderr, "cannot open the ROOT store: %lu\n", ::GetLastError());
    return 1;
  }
  int result = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<BYTE> file, der;
    PCCERT_CONTEXT certificate = nullptr;
    if (ReadFileBytes(argv[i], &file) && ToDer(file, &der)) {
      certificate = ::CertCreateCertificateContext(
          X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    }
    if (!certificate) {
      std::fprintf(stderr, "not a certificate: %ls\n", argv[i]);
      result = 1;
      continue;
    }
    PCCERT_CONTEXT present = ::CertFindCertificateInStore(
        store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate, nullptr);
    if (present) {
      ::CertFreeCertificateContext(present);
      std::printf("present %ls\n", argv[i]);
    } else if (::CertAddCertificateContextToStore(
                   store, certificate, CERT_STORE_ADD_USE_EXISTING, nullptr)) {
      std::printf("added %ls\n", argv[i]);
    } else {
      std::fprintf(stderr, "cannot add %ls: %lu\n", argv[i], ::GetLastError());
      result = 1;
    }
    ::CertFreeCertificateContext(certificate);
  }
  ::CertCloseStore(store, 0);
  return result;
}
