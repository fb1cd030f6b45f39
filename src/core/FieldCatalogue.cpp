#include "core/FieldCatalogue.h"

namespace quarrelby {

namespace {
constexpr FieldFrame F1 = FieldFrame::Info;
constexpr FieldFrame F2 = FieldFrame::Phone;
constexpr int W = 1680;
constexpr int H = 285;

constexpr std::array<ContactField, kFieldCount> kCatalogue {{
    {0, "Fullname", F1, FullName, {}, true, 0, 225, 270, W, H},
    {1, "Birthday", F1, Birthday, {}, true, 28, 225, 630, W, H},
    {2, "Job Title", F1, JobTitle, {}, true, 1, 225, 990, W, H},
    {3, "Company Name", F1, CompanyName, {}, true, 2, 225, 1350, W, H},
    {4, "File As", F1, FileAs, {}, true, 8, 225, 1710, W, H},
    {5, "Email Address 1", F1, Email1Address, {}, true, 4, 225, 2070, W, H},
    {6, "Email Address 2", F1, Email2Address, {}, true, 5, 225, 2430, W, H},
    {7, "Email Address 3", F1, Email3Address, {}, true, 6, 2340, 270, W, H},
    {8, "Webpage", F1, WebPage, {}, true, 7, 2340, 630, W, H},
    {9, "IM Address", F1, IMAddress, {}, true, 3, 2340, 990, W, H},
    {10, "TTY/TDD Tel No", F2, TTYTDDTelephoneNumber, {}, false, 20, 225, 270, W, H},
    {11, "Asst Tel No", F2, AssistantName, AssistantTelephoneNumber, false, 19, 225, 630, W, H},
    {12, "Bus. Tel No 1", F2, BusinessTelephoneNumber, {}, true, 18, 225, 990, W, H},
    {13, "Bus. Tel No 2", F2, Business2TelephoneNumber, {}, true, 17, 225, 1350, W, H},
    {14, "Bus. Fax No", F2, BusinessFaxNumber, {}, true, 16, 225, 1710, W, H},
    {15, "CallbackTel No", F2, CallbackTelephoneNumber, {}, false, 15, 225, 2070, W, H},
    {16, "Car Tel No", F2, CarTelephoneNumber, {}, false, 14, 225, 2430, W, H},
    {17, "Company Tel No", F2, CompanyMainTelephoneNumber, {}, true, 13, 2070, 270, W, H},
    {18, "Home Tel No 1", F2, HomeTelephoneNumber, {}, true, 12, 2070, 630, W, H},
    {19, "Home Tel No 2", F2, Home2TelephoneNumber, {}, true, 11, 2070, 990, W, H},
    {20, "Home Fax No", F2, HomeFaxNumber, {}, true, 10, 2070, 1350, W, H},
    {21, "ISDN No", F2, ISDNNumber, {}, false, 9, 2070, 1710, W, H},
    {22, "Mobile No", F2, MobileTelephoneNumber, {}, true, 24, 2070, 2070, W, H},
    {23, "Other Tel No", F2, OtherTelephoneNumber, {}, true, 23, 3825, 225, W, H},
    {24, "Other Fax No", F2, OtherFaxNumber, {}, true, 22, 3825, 585, W, H},
    {25, "Pager No", F2, PagerNumber, {}, false, 21, 3825, 945, W, H},
    {26, "Primary Tel No", F2, PrimaryTelephoneNumber, {}, false, 27, 3825, 1305, W, H},
    {27, "Radio Tel No", F2, RadioTelephoneNumber, {}, false, 26, 3825, 1710, W, H},
    {28, "Telex Number", F2, TelexNumber, {}, false, 25, 3825, 2070, W, H},
    {29, "Business Address", F1, BusinessAddress, {}, true, 32, 2340, 1350, 1905, H},
    {30, "Home Address", F1, HomeAddress, {}, true, 29, 2340, 1710, W, H},
    {31, "Other Address", F1, OtherAddress, {}, true, 31, 2340, 2070, W, H},
    {32, "Body/Notes", F1, Body, {}, true, 30, 2340, 2430, W, H},
}};

// Every field sits at its own index and its own place in the tab order.
constexpr bool wellFormed()
{
    std::array<bool, kFieldCount> placed {};
    for (size_t i = 0; i < kFieldCount; ++i) {
        const ContactField &f = kCatalogue[i];
        if (f.index != static_cast<short>(i) || f.tabPosition < 0 || f.tabPosition >= kFieldCount)
            return false;
        if (placed[static_cast<size_t>(f.tabPosition)])
            return false;
        placed[static_cast<size_t>(f.tabPosition)] = true;
    }
    return true;
}
static_assert(wellFormed());
} // namespace

const std::array<ContactField, kFieldCount> &fieldCatalogue()
{
    return kCatalogue;
}

const ContactField &field(int index)
{
    return kCatalogue.at(static_cast<size_t>(index));
}

QString frameCaption(FieldFrame frame)
{
    return frame == FieldFrame::Info ? QStringLiteral("Contacts Info to extract")
                                     : QStringLiteral("Contacts Phone to extract");
}

} // namespace quarrelby
