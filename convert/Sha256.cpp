#include "convert/Sha256.h"

#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QUtil.hh>

namespace convert {

Sha256::Sha256() : impl_(QPDFCryptoProvider::getImpl()) {
  impl_->SHA2_init(256);
}

Sha256::~Sha256() = default;

void Sha256::update(const void* data, size_t size) {
  impl_->SHA2_update(static_cast<const unsigned char*>(data), size);
}

std::string Sha256::hex() {
  impl_->SHA2_finalize();
  return QUtil::hex_encode(impl_->SHA2_digest());
}

}  // namespace convert
