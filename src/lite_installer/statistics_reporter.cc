#include "lite_installer/statistics_reporter.h"

#include "lite_util/installer_registry.h"

namespace lite {
namespace {

const char* ParamName(int number) {
  switch (number) {
    case kStatBrandId:
      return "brand_id";
    case kStatPartnerId:
      return "partner_id";
    case kStatBannerId:
      return "banner_id";
    case kStatZarvexUid:
      return "zarvex_uid";
    case kStatDistrZarvexUid:
      return "distr_zarvex_uid";
    case kStatNewVersion:
      return "new_ver";
    case kStatInstallType:
      return "install_type";
    case kStatVessa:
      return "vessa";
    default:
      return nullptr;
  }
}

}  // namespace

StatisticsReporter::StatisticsReporter(int installer_type,
                                       const std::wstring& persisted)
    : stat_sender_(std::make_unique<InstallStatSender>(0, installer_type,
                                                       persisted, StatEvent(),
                                                       0)),
      url_sender_(std::make_unique<AsyncUrlSender>()) {}

StatisticsReporter::~StatisticsReporter() {
  url_sender_.reset();
  stat_sender_.reset();
}

void StatisticsReporter::SetParam(int number, const std::wstring& value) {
  if (const char* name = ParamName(number)) stat_sender_->SetParam(name, value);
}

std::wstring StatisticsReporter::GetParam(int number) const {
  return number == kStatOldVersion ? stat_sender_->GetParam("old_ver")
                                   : std::wstring();
}

bool StatisticsReporter::Send(const StatEvent& event) {
  return url_sender_->Send(stat_sender_->GetQueryUrl(event));
}

void StatisticsReporter::SendDialogEvent(const StatEvent& event) {
  stat_sender_->set_path_number(1);
  url_sender_->Send(stat_sender_->GetQueryUrl(event));
  stat_sender_->set_path_number(0);
}

void StatisticsReporter::SaveToRegistry() const {
  StoreInstallerValue(L"install_stat",
                      FormatStatParams(stat_sender_->params()));
}

}  // namespace lite
