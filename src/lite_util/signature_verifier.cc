#include "lite_util/signature_verifier.h"

#include <vector>

#include "base/scoped_handle.h"
#include "lite_util/logging/log_message.h"

namespace lite {

SignatureVerifier::~SignatureVerifier() { Cleanup(); }

bool SignatureVerifier::Verify(std::span<const uint8_t> signature,
                               std::span<const uint8_t> public_key,
                               std::span<const uint8_t> data) {
  return Initialize() && HashData(data) && ImportPublicKey(public_key) &&
         VerifySignature(signature);
}

bool SignatureVerifier::Initialize() {
  Cleanup();
  if (!::CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT)) {
    provider_ = 0;
    LOG(ERROR) << "Failed to initialize crypt context, error: "
               << ::GetLastError();
    return false;
  }
  return true;
}

bool SignatureVerifier::HashData(std::span<const uint8_t> data) {
  if (!::CryptCreateHash(provider_, CALG_SHA1, 0, 0, &hash_)) {
    hash_ = 0;
    LOG(ERROR) << "Failed to initialize hash object, error: "
               << ::GetLastError();
    return false;
  }
  if (!::CryptHashData(hash_, data.data(), static_cast<DWORD>(data.size()),
                       0)) {
    LOG(ERROR) << "Failed to hash data, error: " << ::GetLastError();
    return false;
  }
  return true;
}

bool SignatureVerifier::ImportPublicKey(std::span<const uint8_t> public_key) {
  base::ScopedLocalMemory<CERT_PUBLIC_KEY_INFO> info;
  DWORD info_size = 0;
  if (!::CryptDecodeObjectEx(
          X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
          public_key.data(), static_cast<DWORD>(public_key.size()),
          CRYPT_DECODE_ALLOC_FLAG, nullptr, info.Receive(), &info_size)) {
    LOG(ERROR) << "Failed to convert decode public key, error: "
               << ::GetLastError();
    return false;
  }
  bool imported = ::CryptImportPublicKeyInfo(
      provider_, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, info.Get(), &key_);
  DWORD error = ::GetLastError();
  info.Reset();
  if (!imported) {
    key_ = 0;
    LOG(ERROR) << "Failed to import crypt key, error: " << error;
    return false;
  }
  return true;
}

bool SignatureVerifier::VerifySignature(std::span<const uint8_t> signature) {
  if (signature.empty()) return false;
  // CryptoAPI takes the signature least significant byte first.
  std::vector<uint8_t> reversed(signature.rbegin(), signature.rend());
  if (!::CryptVerifySignatureW(hash_, reversed.data(),
                               static_cast<DWORD>(reversed.size()), key_,
                               nullptr, 0)) {
    LOG(ERROR) << "Failed to verify signature, error: " << ::GetLastError();
    return false;
  }
  return true;
}

void SignatureVerifier::Cleanup() {
  if (key_ && !::CryptDestroyKey(key_)) {
    LOG(ERROR) << "Failed to destroy crypt key, error: " << ::GetLastError();
  }
  key_ = 0;
  if (hash_ && !::CryptDestroyHash(hash_)) {
    LOG(ERROR) << "Failed to destroy, error: " << ::GetLastError();
  }
  hash_ = 0;
  if (provider_ && !::CryptReleaseContext(provider_, 0)) {
    LOG(ERROR) << "Failed to release crypt context, error: "
               << ::GetLastError();
  }
  provider_ = 0;
}

}  // namespace lite
