#include "profile/previous_session.hpp"

RemovalPlan previous_session_plan()
{
    return {
        {L"Default\\Current Tabs", RemovalMethod::file},
        {L"Default\\Current Session", RemovalMethod::file},
        {L"Default\\Last Tabs", RemovalMethod::file},
        {L"Default\\Last Session", RemovalMethod::file},
        {L"Default\\Sessions", RemovalMethod::tree},
    };
}
