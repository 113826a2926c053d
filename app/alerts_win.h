// The alerts' effects beyond the balloon, from the window: the command for each change, the webhook
// for each balloon, their failures among the recent changes, and the tests Options offers of them.
#pragma once

#include <windows.h>

#include <string>

#include "status/alerts.h"

// A notice was shown: its changes go to the alert command and the whole to the webhook, as set.
void DeliverNotice(HWND window, const AlertNotice& notice);
// The timer of the command's runs: the ended ones closed, those past the time limit ended, waiting
// ones started.
void OnAlertRunTimer(HWND window);
// WM_WEBHOOKFAILED: a line among the recent changes for each failure, which shows nothing of the
// address but its host.
void OnWebhookFailed(WPARAM unused);
// Runs a command line with a made-up change, as an alert would.
void TestAlertCommand(HWND window, const std::string& commandLine);
// Posts a test message to a webhook address.
void TestWebhook(HWND window, const std::string& address);
