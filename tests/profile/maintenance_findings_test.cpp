#include "profile/preview_decisions.hpp"
#include "profile/removal_status.hpp"
#include "profile/self_test_verdicts.hpp"

#include <gtest/gtest.h>

namespace {

using namespace nt_status;

TEST(PreviewDecisions, WhatKeepsAnEntryAndWhatTheJournalRuleMakesOfIt)
{
    // A delete is foreseen to fail only for a read-only entry that may not go.
    EXPECT_EQ(foreseen_delete_status({false, true}), cannot_delete);
    EXPECT_EQ(foreseen_delete_status({true, true}), 0u);
    EXPECT_EQ(foreseen_delete_status({false, false}), 0u);
    const struct {
        std::uint32_t status;
        PreviewAction action;
    } statuses[] = {
        {sharing_violation, PreviewAction::stays_held},
        {access_denied, PreviewAction::stays_refused},
        {cannot_delete, PreviewAction::stays_refused},
        {directory_not_empty, PreviewAction::stays_refused},
    };
    for (const auto& row : statuses) EXPECT_EQ(staying_action(row.status), row.action) << std::hex << row.status;
    // A journal goes after a database that went, a link included, or that was never there.
    const struct {
        PreviewAction action;
        RemovalOutcome outcome;
    } actions[] = {
        {PreviewAction::goes, RemovalOutcome::removed},        {PreviewAction::link_goes, RemovalOutcome::removed},
        {PreviewAction::absent, RemovalOutcome::absent},       {PreviewAction::partly, RemovalOutcome::stayed},
        {PreviewAction::journal_kept, RemovalOutcome::stayed}, {PreviewAction::stays_held, RemovalOutcome::stayed},
        {PreviewAction::stays_outside, RemovalOutcome::stayed},
    };
    for (const auto& row : actions) EXPECT_EQ(outcome_of(row.action), row.outcome) << preview_action_name(row.action);
}

TEST(SelfTestVerdicts, APromiseIsCheckedOnlyWhereItsSetupWorkedAndTheSemanticsAgreeWithTheVolume)
{
    const struct {
        const char* setup_failure;
        std::vector<std::string> wrongs;
        PromiseResult result;
        const char* detail;
    } promises[] = {
        {"", {}, PromiseResult::passed, "kept"},
        {"", {"the link stayed", "its target lost a file"}, PromiseResult::failed,
         "the link stayed; its target lost a file"},
        // A link the system would not make proves nothing either way, whatever was seen after.
        {"no link", {"the link stayed"}, PromiseResult::not_checked, "no link"},
    };
    for (const auto& row : promises) {
        const SelfTestPromise promise = judge_promise("p", row.setup_failure, row.wrongs, "kept");
        EXPECT_EQ(promise.result, row.result) << row.detail;
        EXPECT_EQ(promise.detail, row.detail);
    }

    constexpr std::uint32_t posix_flag = supports_posix_unlink_rename;
    const struct {
        std::uint32_t probe_status;
        std::uint32_t volume_flags;
        const char* semantics;
        PromiseResult result;
    } semantics[] = {
        {0, posix_flag | 0x3, "posix", PromiseResult::passed},
        {not_implemented, 0x3, "classic", PromiseResult::passed},
        {invalid_parameter, 0, "classic", PromiseResult::passed},
        {0, 0x3, "posix", PromiseResult::failed},
        {invalid_parameter, posix_flag, "classic", PromiseResult::failed},
        {access_denied, posix_flag, "", PromiseResult::not_checked},
    };
    for (const auto& row : semantics) {
        EXPECT_EQ(delete_semantics(row.probe_status), row.semantics) << std::hex << row.probe_status;
        EXPECT_EQ(judge_delete_semantics(row.probe_status, row.volume_flags).result, row.result)
            << std::hex << row.probe_status << " " << row.volume_flags;
    }
}

} // namespace
