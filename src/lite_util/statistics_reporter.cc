#include "lite_util/statistics_reporter.h"

#include "lite_util/installer_registry.h"

namespace lite {
namespace {

// Statistics path numbers of InstallStatSender.
constexpr int kExtendedStatPath = 0;
constexpr int kReinstallDialogPath = 1;

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
    : stat_sender_(std::make_unique<InstallStatSender>(
          0, installer_type, persisted, StatEvent(), 0)),
      url_sender_(std::make_unique<AsyncUrlSender>()) {}

StatisticsReporter::~StatisticsReporter() {
  url_sender_.reset();
  stat_sender_.reset();
}

void StatisticsReporter::SetParam(int number, const std::wstring& value) {
  const char* name = ParamName(number);
  if (!name) return;
  std::lock_guard<std::mutex> lock(mutex_);
  stat_sender_->SetParam(name, value);
}

std::wstring StatisticsReporter::GetParam(int number) const {
  if (number != kStatOldVersion) return std::wstring();
  std::lock_guard<std::mutex> lock(mutex_);
  return stat_sender_->GetParam("old_ver");
}

bool StatisticsReporter::BuildAndQueue(const StatEvent& event,
                                       int path_number) {
  std::lock_guard<std::mutex> lock(mutex_);
  return QueueUrl(stat_sender_->GetQueryUrl(event, path_number));
}

bool StatisticsReporter::Send(const StatEvent& event) {
  return BuildAndQueue(event, kExtendedStatPath);
}

void StatisticsReporter::SendDialogEvent(const StatEvent& event) {
  BuildAndQueue(event, kReinstallDialogPath);
}

void StatisticsReporter::SaveToRegistry() const {
  std::wstring text;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text = FormatStatParams(stat_sender_->params());
  }
  StoreInstallerValue(L"install_stat", text);
}

}  // namespace lite
