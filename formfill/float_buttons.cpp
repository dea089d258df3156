#include "formfill/float_buttons.h"

#include <atomic>

namespace formfill {
namespace {

std::atomic<TFloatButtons*> installed{nullptr};

}  // namespace

void InstallFloatButtons(TFloatButtons* buttons) { installed.store(buttons); }

TFloatButtons* FloatButtons() { return installed.load(); }

}  // namespace formfill
