#include "platform/Desktop.h"

#include "resources/Strings.h"

namespace {

class NullDesktop final : public Desktop {
  public:
    void HoldSleepLock(const std::string&) override {}
    void ReleaseSleepLock() override {}
    void Notify(const std::string&, const std::string&) override {}
    void RequestPower(PowerAction, std::function<void(bool, const std::string&)> done) override {
        done(false, Str(Sid::NoPowerService));
    }
};

}  // namespace

Desktop& NoDesktop() {
    static NullDesktop none;
    return none;
}
