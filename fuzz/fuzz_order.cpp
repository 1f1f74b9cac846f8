// The order-mail parser on any text: it ends, or fails with one of its reported errors.
#include <cstdint>
#include <string>
#include <vector>

#include "base/errors.h"
#include "intake/orderparser.h"

namespace {
class Host : public TOrderMailHost {
 public:
  void AddItemBlock(const std::string& section, const std::string& orderTime,
                    const std::string& prefecture) override {
    blocks += section.size() + orderTime.size() + prefecture.size();
  }
  void SaveRecentOrders() override {}
  void RenderStatusPage() override {}
  void PublishPage() override {}
  size_t blocks = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string shop;
  Host host;
  try {
    ParseOrderMail(text, shop, host);
  } catch (const std::exception&) {  // EConvertError, EVendlumeError: reported failures
  }
  return 0;
}
