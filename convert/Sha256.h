// SHA-256, through qpdf's crypto provider: the same code in both builds, no library of its own.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class QPDFCryptoImpl;

namespace convert {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* data, size_t size);
  // The digest in lower-case hexadecimal; the object is spent afterwards.
  std::string hex();

 private:
  std::shared_ptr<QPDFCryptoImpl> impl_;
};

}  // namespace convert
