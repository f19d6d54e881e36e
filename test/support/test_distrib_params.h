// Distribution parameters given by a test instead of read from the
// executable's signature block.
#ifndef TEST_SUPPORT_TEST_DISTRIB_PARAMS_H_
#define TEST_SUPPORT_TEST_DISTRIB_PARAMS_H_

#include <string>
#include <utility>

#include "lite_installer/brand/distrib_params.h"

namespace lite {

class TestParams : public DistribParams {
 public:
  explicit TestParams(Map params) : params_(std::move(params)) {}
  bool Get(const std::string& key, std::string* value) const override {
    auto it = params_.find(key);
    if (it == params_.end()) return false;
    *value = it->second;
    return true;
  }

 private:
  Map params_;
};

}  // namespace lite

#endif  // TEST_SUPPORT_TEST_DISTRIB_PARAMS_H_
