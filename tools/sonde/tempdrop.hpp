// TEMP DROP dropsonde messages (WMO FM 37, bulletins UZNT13 / UZPN13): reader and writer.
//
// A file holds one bulletin or many, with communications lines around them. Each bulletin is a heading
// `UZNT13 CCCC ddhhmm` and parts XXAA (standard levels) and XXBB (significant levels, then `21212` and the
// wind levels), each ending with `=`; XXCC and XXDD (above 100 hPa) are passed over. The reader decodes
//   - the identification `YYGGI 99LaLaLa QcLoLoLoLo [MMMULaULo]` (day + 50 for winds in knots),
//   - levels `nnPPP`/`nnhhh` with `TTTaDD` (tenths digit even for 0 and above, odd below; dew-point
//     depression 00-50 in tenths, 56-99 less 50 in whole degrees) and `dddff` (hundreds of the speed added
//     to the direction, which is a multiple of 5),
//   - `31313` (launch time), `61616` (aircraft, mission, storm, observation number) and the `62626` remarks
//     (joined across lines wrapped at 65 characters in the middle of a group before they are split):
//     `REL`/`SPG`/`SPL` points and times, `MBL WND`, `WL150`, `DLM WND`, `LST WND`, `AEV`,
// and skips groups it does not know up to the next section indicator. Heights of the pressure levels come
// from the hypsometric equation upwards from the surface (0 m at the surface pressure), with the stated
// heights of the standard levels; the surface wind is the 10-m wind (or at the `LST WND` height).
#pragma once

#include <string>
#include <string_view>

#include "sonde/date_context.hpp"
#include "sonde/sonde.hpp"

namespace sfmr::sonde {

// Every TEMP DROP bulletin of `text`. A bulletin with a malformed group or part is skipped, named by its
// heading and observation number, with the reason; a repeat of a bulletin already read is skipped too.
// Throws SondeError when the text holds no bulletin, when none reads (the first reason given), or when
// `context` is null (no month and year known).
ReadResult read_tempdrop(std::string_view text, const DateContext* context);

// True when `text` holds a TEMP DROP heading line.
bool has_tempdrop_heading(std::string_view text);

// One bulletin (heading, XXAA, XXBB) for a sonde record, winds in knots: what read_tempdrop reads back
// within the code's resolution (0.2 deg C, 5 deg, 1 kt, 0.01 deg of position, 1 s). Levels of kind
// kStandard go to part A, kSignificant to part B's temperature levels, kWind (and kSample) to its wind
// levels; the surface from kSurface and the record's surface wind.
std::string write_tempdrop(const Sonde& sonde);

}  // namespace sfmr::sonde
