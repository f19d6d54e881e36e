// RSA PKCS #1 v1.5 signatures over SHA-1, checked with CryptoAPI against a
// public key given as a DER SubjectPublicKeyInfo.
#ifndef LITE_UTIL_SIGNATURE_VERIFIER_H_
#define LITE_UTIL_SIGNATURE_VERIFIER_H_

#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
#include <span>

namespace lite {

// One verification at a time; Initialize starts from a clean state and the
// destructor releases whatever is held.
class SignatureVerifier {
 public:
  SignatureVerifier() = default;
  SignatureVerifier(const SignatureVerifier&) = delete;
  SignatureVerifier& operator=(const SignatureVerifier&) = delete;
  ~SignatureVerifier();

  // Initialize, HashData, ImportPublicKey and VerifySignature, stopping at
  // the first that fails. `signature` is most significant byte first.
  bool Verify(std::span<const uint8_t> signature,
              std::span<const uint8_t> public_key,
              std::span<const uint8_t> data);

  bool Initialize();
  bool HashData(std::span<const uint8_t> data);
  bool ImportPublicKey(std::span<const uint8_t> public_key);
  bool VerifySignature(std::span<const uint8_t> signature);
  // Destroys the key, then the hash, then releases the provider.
  void Cleanup();

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
  HCRYPTKEY key_ = 0;
};

}  // namespace lite

#endif  // LITE_UTIL_SIGNATURE_VERIFIER_H_
