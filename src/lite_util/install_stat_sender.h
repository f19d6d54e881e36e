// Turns statistics events into GET URLs on the statistics host, carrying
// the installation's standing parameters, which outlive the process in the
// registry while the setup runs.
#ifndef LITE_UTIL_INSTALL_STAT_SENDER_H_
#define LITE_UTIL_INSTALL_STAT_SENDER_H_

#include <map>
#include <string>

namespace lite {

// Field name -> value, sorted by name.
using StatEvent = std::map<std::string, std::wstring>;

// "lite", "full", ... for `installer_type`; "lite" for unknown numbers.
const char* InstallerTypeName(int installer_type);
// Install type names of the statistics: "", "mini", ... for `target`.
const char* StatTargetName(int install_type);

// Where statistics events go.
class StatEventSink {
 public:
  virtual ~StatEventSink() = default;
  virtual bool Send(const StatEvent& event) = 0;
};

// The persisted form: name, LF, value, LF, for each parameter in order.
std::wstring FormatStatParams(const StatEvent& params);
// Adds the pairs of a persisted text to `params` (existing names stay).
void ParseStatParams(const std::wstring& text, StatEvent* params);

// The `vars` part of a statistics URL; `escape` escapes one name or value.
std::wstring BuildStatVars(const StatEvent& params,
                           std::wstring (*escape)(const std::wstring&));

// Not thread-safe by itself; StatisticsReporter guards it.
class InstallStatSender {
 public:
  InstallStatSender(int install_type, int installer_type,
                    const std::wstring& persisted, StatEvent initial,
                    int path_number);
  // Deletes the persisted parameters of an installer run.
  ~InstallStatSender();

  // The URL that reports `event` with the standing parameters, on the
  // statistics path numbered `path_number` (by default the sender's own).
  std::string GetQueryUrl(const StatEvent& event) const {
    return GetQueryUrl(event, path_number_);
  }
  std::string GetQueryUrl(const StatEvent& event, int path_number) const;

  void SetParam(const std::string& name, const std::wstring& value) {
    params_[name] = value;
  }
  std::wstring GetParam(const std::string& name) const;
  const StatEvent& params() const { return params_; }

 private:
  int install_type_;
  int installer_type_;
  StatEvent params_;
  int path_number_;
};

// "a.b.c.d" of a file's version resource, "0.0.0.0" without one.
std::wstring FileVersionString(const std::wstring& path);

}  // namespace lite

#endif  // LITE_UTIL_INSTALL_STAT_SENDER_H_
