// Builders of legacy Office streams for the tests: BIFF8 records, FilePass
// payloads, PowerPoint streams with a CryptSession10Container, and the
// password verifiers made by an independent implementation
// (fixtures/office/verifiers.tsv).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "office/cfb_builder.h"
#include "office/ole_classifier.h"
#include "test_support.h"

namespace kpl::test {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint16_t v) { b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
inline void put32(Bytes& b, uint32_t v) { CfbBuilder::put32(b, v); }
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
inline Bytes fromHex(const std::string& hex) {
  Bytes b;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return b;
}

struct Verifier {
  Bytes salt, verifier, verifierHash;
};

// The verifier of `scheme` ("rc4" or "cryptoapi") for a key size and password.
inline Verifier loadVerifier(const std::string& scheme, int bits, const std::string& password) {
  std::ifstream in(fixturesDir() + "/office/verifiers.tsv");
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string field; std::getline(ss, field, '\t');) f.push_back(field);
    if (f.size() == 6 && f[0] == scheme && f[1] == std::to_string(bits) && f[2] == password)
      return {fromHex(f[3]), fromHex(f[4]), fromHex(f[5])};
  }
  ADD_FAILURE() << "no verifier for " << scheme << " " << bits << " " << password;
  return {};
}

inline Bytes biffRecord(uint16_t type, const Bytes& data) {
  Bytes r;
  put32(r, type | static_cast<uint32_t>(data.size()) << 16);
  append(r, data);
  return r;
}

inline Bytes bof(uint16_t version = 0x0600, uint16_t substream = 0x0005) {
  Bytes d;
  put32(d, version | static_cast<uint32_t>(substream) << 16);
  d.resize(16, 0);
  return biffRecord(0x0809, d);
}

inline Bytes filePassRc4(const Verifier& v) {
  Bytes d = {1, 0, 1, 0, 1, 0};  // RC4, version 1.1
  for (const Bytes* part : {&v.salt, &v.verifier, &v.verifierHash}) append(d, *part);
  return biffRecord(0x002F, d);
}

// The EncryptionHeader and EncryptionVerifier of RC4 CryptoAPI.
struct CryptoApiHeader {
  uint32_t algorithmId = 0x6801, hashAlgorithmId = 0x8004, keyBits = 128, providerType = 1, saltSize = 16;
  std::string provider = "Microsoft Enhanced Cryptographic Provider v1.0";
};

inline Bytes cryptoApiInfo(const Verifier& v, const CryptoApiHeader& h, uint16_t major = 4) {
  Bytes header;  // flags, size extra, algorithms, key size, provider type, reserved
  for (uint32_t f : {0u, 0u, h.algorithmId, h.hashAlgorithmId, h.keyBits, h.providerType, 0u, 0u}) put32(header, f);
  for (char c : h.provider + '\0') put16(header, static_cast<uint8_t>(c));
  Bytes info;  // version, flags, header size, header, salt size, salt, verifier, hash size, hash
  for (uint32_t f : {major | 2u << 16, 0x04u, static_cast<uint32_t>(header.size())}) put32(info, f);
  append(info, header);
  put32(info, h.saltSize);
  for (const Bytes* part : {&v.salt, &v.verifier}) append(info, *part);
  put32(info, 20);
  append(info, v.verifierHash);
  return info;
}

inline Bytes filePassCryptoApi(const Verifier& v, const CryptoApiHeader& h) {
  Bytes d = {1, 0};
  append(d, cryptoApiInfo(v, h));
  return biffRecord(0x002F, d);
}

inline Bytes pptRecord(uint16_t verInstance, uint16_t type, const Bytes& data) {
  Bytes r;
  put32(r, verInstance | static_cast<uint32_t>(type) << 16);
  put32(r, static_cast<uint32_t>(data.size()));
  append(r, data);
  return r;
}

// "Current User" and "PowerPoint Document" streams: a document atom, the
// CryptSession10Container, a persist directory and the UserEditAtom that
// names the container's persist id. `entries` is the persist directory as
// (first id, offsets); the container's offset is written wherever an
// offset equals kCrypt.
inline constexpr uint32_t kCrypt = 0xC0DE;
struct PptStreams {
  Bytes currentUser, document;
};
inline PptStreams pptStreams(const Bytes* cryptInfo, uint32_t encryptRef,
                             const std::vector<std::pair<uint32_t, std::vector<uint32_t>>>& entries) {
  PptStreams s;
  s.document = pptRecord(0x000F, 0x03E8, Bytes(16, 0));  // DocumentContainer stand-in
  const uint32_t cryptAt = static_cast<uint32_t>(s.document.size());
  if (cryptInfo != nullptr) append(s.document, pptRecord(0x000F, 0x2F14, *cryptInfo));
  Bytes dir;
  for (const auto& e : entries) {
    put32(dir, e.first | (static_cast<uint32_t>(e.second.size()) << 20));
    for (uint32_t off : e.second) put32(dir, off == kCrypt ? cryptAt : off);
  }
  const uint32_t dirAt = static_cast<uint32_t>(s.document.size());
  append(s.document, pptRecord(0x0000, 0x1772, dir));
  const uint32_t userEditAt = static_cast<uint32_t>(s.document.size());
  Bytes edit(28, 0);
  CfbBuilder::setU32(edit, 12, dirAt);  // offsetPersistDirectory (at 20 with the header)
  put32(edit, encryptRef);
  append(s.document, pptRecord(0x0000, 0x0FF5, edit));
  Bytes user(32, 0);
  CfbBuilder::setU32(user, 0, 20);
  CfbBuilder::setU32(user, 4, 0xF3D1C4DF);  // header token of an encrypted file
  CfbBuilder::setU32(user, 8, userEditAt);
  s.currentUser = pptRecord(0x0000, 0x0FF6, user);
  return s;
}

struct Classified {  // what isOLEFileType reports
  unsigned int code = 0;
  std::string typeId, mime, extensions, description;
  bool encrypted = false;
};

inline Classified classify(const Bytes& file) {
  TempDir dir;
  const std::string path = dir.write("doc.bin", file);
  Classified c;
  c.code = OLEFTAUtil::isOLEFileType(path, file.size(), c.typeId, c.mime, c.extensions, c.description, c.encrypted);
  return c;
}

}  // namespace kpl::test
