#pragma once

// The Postfix job. Only the start names our configuration directory: stop and
// reload find the same master through the queue directory both configurations share.
static const char* const startArgs[] = {"/usr/sbin/postfix", "-c", "/usr/local/tarnwick/postfix/etc",
                                        "start", nullptr};
static const char* const stopArgs[] = {"/usr/sbin/postfix", "stop", nullptr};
static const char* const restartArgs[] = {"/usr/sbin/postfix", "reload", nullptr};
