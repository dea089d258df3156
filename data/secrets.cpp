#include "data/secrets.h"

namespace secrets {

namespace {

constexpr std::string_view kDefaultCheckText =
    "T1StZvgLBlSb9pG4lXcWRcbaVpn6RxFED1WuoReY3VRqmh2mOQHcrPEi05XMQV9y/eVv0rdub0P59kqLK22HrA9a8v44pDWbA+4m9kvYH6M3TZU4y6r/0/vl";

constexpr std::u16string_view kVerificationPhrase =
    u"Squirrel#Sapphire#Granite#Squirrel#Willow#Chimney#Sapphire#Horizon";

constexpr std::string_view kKeyStretchTable =
    "ufMo;{Z@HJow@NVhXbf~gG'9jpZDJOBDa:N{H!zIdX-]HU#O7%|n%*I'g_ZXqw:U2h*vtmq,<Ai;1)01d&uH*(f";

static_assert(kDefaultCheckText.size() == 120);
static_assert(kVerificationPhrase.size() == 66);
static_assert(kKeyStretchTable.size() == 87);

}  // namespace

std::string_view DefaultCheckText() { return kDefaultCheckText; }
std::u16string_view VerificationPhrase() { return kVerificationPhrase; }
std::string_view KeyStretchTable() { return kKeyStretchTable; }

}  // namespace secrets
