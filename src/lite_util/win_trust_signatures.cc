#include "lite_util/win_trust_signatures.h"

// The SHA256_* calls: OpenSSL 3's one-shot SHA256() goes through the
// provider machinery, which would add megabytes to the program.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>
#include <softpub.h>

#include <cstring>
#include <span>
#include <utility>

#include "lite_util/exception_guard.h"

namespace lite {
namespace {

constexpr char kSha256WithRsa[] = "1.2.840.113549.1.1.11";

std::span<const uint8_t> Bytes(const CRYPT_INTEGER_BLOB& blob) {
  if (!blob.pbData) return {};
  return {blob.pbData, blob.cbData};
}

// The last error of a call that failed; never 0.
DWORD FailureCode() {
  DWORD error = ::GetLastError();
  return error ? error : ERROR_INVALID_DATA;
}

}  // namespace

static_assert(sizeof(WinTrustSignatureSettings) == 24);
static_assert(sizeof(WinTrustDataWithSettings) == 52);

bool ChainReachesTrustedRoot(DWORD chain_error_status) {
  constexpr DWORD kNotAnchored =
      CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_UNTRUSTED_ROOT |
      CERT_TRUST_IS_CYCLIC | CERT_TRUST_IS_PARTIAL_CHAIN |
      CERT_TRUST_IS_EXPLICIT_DISTRUST;
  return (chain_error_status & kNotAnchored) == 0;
}

std::optional<Sha256Digest> PublicKeyDigest(const CRYPT_BIT_BLOB& key) {
  if (key.cUnusedBits != 0 || (!key.pbData && key.cbData)) return std::nullopt;
  Sha256Digest digest;
  SHA256_CTX context;
  if (!::SHA256_Init(&context) ||
      !::SHA256_Update(&context, key.pbData, key.cbData) ||
      !::SHA256_Final(digest.data(), &context)) {
    return std::nullopt;
  }
  return digest;
}

WinTrustSignatures::WinTrustSignatures(std::wstring path,
                                       bool prevents_network_use)
    : path_(std::move(path)) {
  file_info_.cbStruct = sizeof(file_info_);
  file_info_.pcwszFilePath = path_.c_str();
  settings_.cbStruct = sizeof(settings_);
  WINTRUST_DATA& data = request_.data;
  data.cbStruct = sizeof(request_);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks =
      prevents_network_use ? WTD_REVOKE_NONE : WTD_REVOKE_WHOLECHAIN;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file_info_;
  data.dwProvFlags = prevents_network_use ? WTD_CACHE_ONLY_URL_RETRIEVAL
                                          : WTD_REVOCATION_CHECK_CHAIN;
  data.dwUIContext = WTD_UICONTEXT_INSTALL;
  request_.pSignatureSettings = &settings_;
}

WinTrustSignatures::~WinTrustSignatures() { Close(); }

LONG WinTrustSignatures::CallWinVerifyTrust(uint32_t* code) {
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG result = -1;
  WinTrustDataWithSettings* request = &request_;
  bool completed = RunGuarded(
      [&] {
        result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE),
                                  &action, request);
      },
      code);
  return completed ? result : -1;
}

SignatureCheck WinTrustSignatures::Check(uint32_t index, bool hash_only) {
  Close();
  if (hash_only) request_.data.dwProvFlags |= WTD_HASH_ONLY_FLAG;
  settings_.dwIndex = index;
  settings_.dwFlags = kWssVerifySpecific | kWssGetSecondarySigCount;
  request_.data.dwStateAction = WTD_STATEACTION_VERIFY;
  SignatureCheck check;
  check.result = CallWinVerifyTrust(&check.raised_exception);
  check.secondary_signatures = settings_.cSecondarySigs;
  return check;
}

std::optional<SignerFacts> WinTrustSignatures::ExtractSigner() {
  if (!request_.data.hWVTStateData) return std::nullopt;
  CRYPT_PROVIDER_DATA* provider =
      ::WTHelperProvDataFromStateData(request_.data.hWVTStateData);
  if (!provider || provider->csSigners != 1) return std::nullopt;
  CRYPT_PROVIDER_SGNR* signer =
      ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
  if (!signer || signer->csCertChain < 2) return std::nullopt;
  CRYPT_PROVIDER_CERT* leaf = ::WTHelperGetProvCertFromChain(signer, 0);
  CRYPT_PROVIDER_CERT* issuer = ::WTHelperGetProvCertFromChain(signer, 1);
  if (!leaf || !issuer || !leaf->pCert || !issuer->pCert ||
      !leaf->pCert->pCertInfo || !issuer->pCert->pCertInfo) {
    return std::nullopt;
  }
  const CERT_INFO& leaf_info = *leaf->pCert->pCertInfo;
  SignerFacts facts;
  facts.certificate_id = CertificateIdFromCryptoApiSerials(
      Bytes(issuer->pCert->pCertInfo->SerialNumber),
      Bytes(leaf_info.SerialNumber));
  const char* algorithm = leaf_info.SignatureAlgorithm.pszObjId;
  facts.sha256 = algorithm && std::strcmp(algorithm, kSha256WithRsa) == 0;
  facts.public_key_digest =
      PublicKeyDigest(leaf_info.SubjectPublicKeyInfo.PublicKey);
  facts.chain_trusted =
      signer->pChainContext &&
      ChainReachesTrustedRoot(signer->pChainContext->TrustStatus.dwErrorStatus);
  return facts;
}

uint32_t WinTrustSignatures::VerifyFileSigner() {
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  DWORD error = 0;
  if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path_.c_str(),
                          CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr,
                          nullptr, &store, &message, nullptr)) {
    error = FailureCode();
  } else if (!::CryptMsgGetAndVerifySigner(message, 0, nullptr, 0, nullptr,
                                           nullptr)) {
    error = FailureCode();
  }
  if (message) ::CryptMsgClose(message);
  if (store) ::CertCloseStore(store, 0);
  return error;
}

void WinTrustSignatures::Close() {
  if (!request_.data.hWVTStateData) return;
  request_.data.dwStateAction = WTD_STATEACTION_CLOSE;
  uint32_t ignored = 0;
  CallWinVerifyTrust(&ignored);
  request_.data.hWVTStateData = nullptr;
}

}  // namespace lite
