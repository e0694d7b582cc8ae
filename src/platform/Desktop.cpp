#include "platform/Desktop.h"

namespace {

class NullDesktop final : public Desktop {
  public:
    void HoldSleepLock(const std::string&) override {}
    void ReleaseSleepLock() override {}
    void Notify(const std::string&, const std::string&) override {}
};

}  // namespace

Desktop& NoDesktop() {
    static NullDesktop none;
    return none;
}
