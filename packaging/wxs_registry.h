#pragma once
// The installer's registry rows, written from the component's own registration table so that the
// package and regsvr32 register exactly the same values.
#include <string>
#include <string_view>

#include "com/registration_table.h"

namespace harrowtally::packaging {

// `text` as a Windows Installer formatted string that stands for itself: brackets, which the
// installer reads as property references, are escaped. Braces stay: a group holding no property
// reference stands for itself, as every class identifier does.
std::u16string msi_literal(std::u16string_view text);

// `text` as a formatted string in which the install folder `folder` (with its final backslash)
// becomes the installer's [INSTALLDIR]; everything else stands for itself.
std::u16string with_install_folder(std::u16string_view text, std::u16string_view folder);

// The <RegistryValue> elements for every row of the machine registration of the build of
// `bitness`, its file installed as INSTALLDIR\Harrowtally.dll, as a WiX include file.
std::string registry_include(com::Bitness bitness);

}  // namespace harrowtally::packaging
