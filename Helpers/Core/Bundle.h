#pragma once

#ifndef FACIWARD_BETA_BUILD
#error "FACIWARD_BETA_BUILD comes with faciward::HelpersCore: link it to use Bundle.h"
#endif

namespace faciward::helpers::Bundle {

/// @brief True in builds for beta testers, which offer the hidden debug menu.
/// A build option (FACIWARD_BETA_BUILD), because a Linux binary carries no
/// distribution signature that could tell a beta build at run time.
inline constexpr bool isTestFlight = FACIWARD_BETA_BUILD != 0;

} // namespace faciward::helpers::Bundle
