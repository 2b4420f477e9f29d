#include "profile/previous_session.hpp"

RemovalPlan previous_session_plan()
{
    const std::string setting = "close-previous-tabs";
    return {
        {L"Default\\Current Tabs", RemovalMethod::file, setting},
        {L"Default\\Current Session", RemovalMethod::file, setting},
        {L"Default\\Last Tabs", RemovalMethod::file, setting},
        {L"Default\\Last Session", RemovalMethod::file, setting},
        {L"Default\\Sessions", RemovalMethod::tree, setting},
    };
}
