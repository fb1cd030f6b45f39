#include "core/FieldCatalogue.h"

namespace quarrelby {

namespace {
constexpr FieldFrame F1 = FieldFrame::Frame1;
constexpr FieldFrame F2 = FieldFrame::Frame2;
constexpr int W = 1680;
constexpr int H = 285;

constexpr std::array<ContactField, kFieldCount> kCatalogue {{
    {0, "Fullname", F1, "FullName", nullptr, true, 225, 270, W, H},
    {1, "Birthday", F1, "Birthday", nullptr, true, 225, 630, W, H},
    {2, "Job Title", F1, "JobTitle", nullptr, true, 225, 990, W, H},
    {3, "Company Name", F1, "CompanyName", nullptr, true, 225, 1350, W, H},
    {4, "File As", F1, "FileAs", nullptr, true, 225, 1710, W, H},
    {5, "Email Address 1", F1, "Email1Address", nullptr, true, 225, 2070, W, H},
    {6, "Email Address 2", F1, "Email2Address", nullptr, true, 225, 2430, W, H},
    {7, "Email Address 3", F1, "Email3Address", nullptr, true, 2340, 270, W, H},
    {8, "Webpage", F1, "WebPage", nullptr, true, 2340, 630, W, H},
    {9, "IM Address", F1, "IMAddress", nullptr, true, 2340, 990, W, H},
    {10, "TTY/TDD Tel No", F2, "TTYTDDTelephoneNumber", nullptr, false, 225, 270, W, H},
    {11, "Asst Tel No", F2, "AssistantName", "AssistantTelephoneNumber", false, 225, 630, W, H},
    {12, "Bus. Tel No 1", F2, "BusinessTelephoneNumber", nullptr, true, 225, 990, W, H},
    {13, "Bus. Tel No 2", F2, "Business2TelephoneNumber", nullptr, true, 225, 1350, W, H},
    {14, "Bus. Fax No", F2, "BusinessFaxNumber", nullptr, true, 225, 1710, W, H},
    {15, "CallbackTel No", F2, "CallbackTelephoneNumber", nullptr, false, 225, 2070, W, H},
    {16, "Car Tel No", F2, "CarTelephoneNumber", nullptr, false, 225, 2430, W, H},
    {17, "Company Tel No", F2, "CompanyMainTelephoneNumber", nullptr, true, 2070, 270, W, H},
    {18, "Home Tel No 1", F2, "HomeTelephoneNumber", nullptr, true, 2070, 630, W, H},
    {19, "Home Tel No 2", F2, "Home2TelephoneNumber", nullptr, true, 2070, 990, W, H},
    {20, "Home Fax No", F2, "HomeFaxNumber", nullptr, true, 2070, 1350, W, H},
    {21, "ISDN No", F2, "ISDNNumber", nullptr, false, 2070, 1710, W, H},
    {22, "Mobile No", F2, "MobileTelephoneNumber", nullptr, true, 2070, 2070, W, H},
    {23, "Other Tel No", F2, "OtherTelephoneNumber", nullptr, true, 3825, 225, W, H},
    {24, "Other Fax No", F2, "OtherFaxNumber", nullptr, true, 3825, 585, W, H},
    {25, "Pager No", F2, "PagerNumber", nullptr, false, 3825, 945, W, H},
    {26, "Primary Tel No", F2, "PrimaryTelephoneNumber", nullptr, false, 3825, 1305, W, H},
    {27, "Radio Tel No", F2, "RadioTelephoneNumber", nullptr, false, 3825, 1710, W, H},
    {28, "Telex Number", F2, "TelexNumber", nullptr, false, 3825, 2070, W, H},
    {29, "Business Address", F1, "BusinessAddress", nullptr, true, 2340, 1350, 1905, H},
    {30, "Home Address", F1, "HomeAddress", nullptr, true, 2340, 1710, W, H},
    {31, "Other Address", F1, "OtherAddress", nullptr, true, 2340, 2070, W, H},
    {32, "Body/Notes", F1, "Body", nullptr, true, 2340, 2430, W, H},
}};
} // namespace

const std::array<ContactField, kFieldCount> &fieldCatalogue()
{
    return kCatalogue;
}

const ContactField &field(int index)
{
    return kCatalogue.at(static_cast<size_t>(index));
}

const std::array<FieldProperties, kFieldCount> &fieldProperties()
{
    static const std::array<FieldProperties, kFieldCount> names = [] {
        std::array<FieldProperties, kFieldCount> result;
        for (const ContactField &f : kCatalogue) {
            auto &entry = result.at(static_cast<size_t>(f.index));
            entry.property = QLatin1String(f.property);
            if (f.secondProperty)
                entry.secondProperty = QLatin1String(f.secondProperty);
        }
        return result;
    }();
    return names;
}

QString frameCaption(FieldFrame frame)
{
    return frame == FieldFrame::Frame1 ? QStringLiteral("Contacts Info to extract")
                                       : QStringLiteral("Contacts Phone to extract");
}

} // namespace quarrelby
