#include "core/FieldCatalogue.h"

namespace quarrelby {

namespace {
constexpr FieldFrame F1 = FieldFrame::Info;
constexpr FieldFrame F2 = FieldFrame::Phone;

constexpr std::array<ContactField, kFieldCount> kCatalogue {{
    {0, "Fullname", F1, FullName, {}, true},
    {1, "Birthday", F1, Birthday, {}, true},
    {2, "Job Title", F1, JobTitle, {}, true},
    {3, "Company Name", F1, CompanyName, {}, true},
    {4, "File As", F1, FileAs, {}, true},
    {5, "Email Address 1", F1, Email1Address, {}, true},
    {6, "Email Address 2", F1, Email2Address, {}, true},
    {7, "Email Address 3", F1, Email3Address, {}, true},
    {8, "Webpage", F1, WebPage, {}, true},
    {9, "IM Address", F1, IMAddress, {}, true},
    {10, "TTY/TDD Tel No", F2, TTYTDDTelephoneNumber, {}, false},
    {11, "Asst Tel No", F2, AssistantName, AssistantTelephoneNumber, false},
    {12, "Bus. Tel No 1", F2, BusinessTelephoneNumber, {}, true},
    {13, "Bus. Tel No 2", F2, Business2TelephoneNumber, {}, true},
    {14, "Bus. Fax No", F2, BusinessFaxNumber, {}, true},
    {15, "CallbackTel No", F2, CallbackTelephoneNumber, {}, false},
    {16, "Car Tel No", F2, CarTelephoneNumber, {}, false},
    {17, "Company Tel No", F2, CompanyMainTelephoneNumber, {}, true},
    {18, "Home Tel No 1", F2, HomeTelephoneNumber, {}, true},
    {19, "Home Tel No 2", F2, Home2TelephoneNumber, {}, true},
    {20, "Home Fax No", F2, HomeFaxNumber, {}, true},
    {21, "ISDN No", F2, ISDNNumber, {}, false},
    {22, "Mobile No", F2, MobileTelephoneNumber, {}, true},
    {23, "Other Tel No", F2, OtherTelephoneNumber, {}, true},
    {24, "Other Fax No", F2, OtherFaxNumber, {}, true},
    {25, "Pager No", F2, PagerNumber, {}, false},
    {26, "Primary Tel No", F2, PrimaryTelephoneNumber, {}, false},
    {27, "Radio Tel No", F2, RadioTelephoneNumber, {}, false},
    {28, "Telex Number", F2, TelexNumber, {}, false},
    {29, "Business Address", F1, BusinessAddress, {}, true},
    {30, "Home Address", F1, HomeAddress, {}, true},
    {31, "Other Address", F1, OtherAddress, {}, true},
    {32, "Body/Notes", F1, Body, {}, true},
}};

// Every field sits at its own index.
constexpr bool wellFormed()
{
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (kCatalogue[i].index != static_cast<short>(i))
            return false;
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
