#pragma once

#include "common/records.hpp"

#include <string>

// The browser language and Accept-Language of a country code (two upper-case
// letters, compared byte for byte); en-US for any code the table lacks.
CountryLanguages lookup_country_languages(const std::string& country_code);
