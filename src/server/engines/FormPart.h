#pragma once

#include <string>
#include <string_view>

// One field of a multipart/form-data upload. A part with a file name is sent as a file.
struct FormPart {
    std::string name;
    std::string_view content; // not owned; must outlive the request
    std::string fileName;
    std::string contentType;
};
