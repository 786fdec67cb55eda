// Storm structure from the surface winds of one or more flights through the same tropical cyclone: centre
// passes, centre fixes from the flights' own data, the storm's motion, radial legs with their peak 10-s mean
// wind and its radius (the leg's RMW), and the wind radii per quadrant.
//
// Method (the radiometer gives wind speed only, and the record carries no pressure):
//   1. Seconds in banked turns (|roll| > 10 deg, or the course turning by more than 10 deg in 10 s) split
//      the flight into straight segments; seconds without a retrieval take no part in any statistic. A
//      one-second position more than 1 km off the midpoint of its neighbours (a garbled record) is replaced
//      by that midpoint, so that it neither breaks a segment nor moves a pass; so is a one-second roll
//      more than 10 deg off the midpoint of its neighbours, which agree within 10 deg.
//   2. A centre pass is a dip of the 61-s mean wind in a straight segment between two peaks of the 10-s
//      mean within 1200 s, each at least 15 m/s, the dip at least 15 % below the lower one (the calm eye
//      between eyewall crossings), or 20 % below their mean and 5 % below the lower one (a wavenumber 1
//      lowers the weak side's eyewall by its amplitude but hardly the eye's wind: a weak, lopsided storm
//      passed beside the eye). A straight leg crosses the storm's core once (the aircraft flies 20-40
//      times faster than the storm moves), so a segment gives at most one pass: around concentric eyewalls
//      the moat shows as a dip on either side of the eye at the same distance, and of three dips whose
//      middle one lies halfway between the others the middle one is the eye (three dips of the 61-s
//      mean in time order; the candidates added between two dips, below, lie halfway by their making). A
//      flanking peak at the segment's end is none (the record or the leg stops while the wind still
//      rises), so such a dip is no pass. Nor is a segment's only dip whose bottom keeps a moat's wind
//      (0.35 of its lower peak) and whose nearest peaks are an outer eyewall seen whole and an inner one
//      cut by the segment's end: the cut side's fall so far, continued at its mean rate from the peak to
//      0.85 of it, gives its width, and the whole side is 2.5 times wider or more (a moat whose eye lies
//      beyond the end; at least a quarter of that fall seen, beyond the noise). Nor is a segment's only
//      dip between an inner and an outer eyewall seen whole (their widths below), however deep (a
//      concentric storm's moat can fall as calm as its eye), where its nearest peaks are of one side's
//      strength (within 0.8 of each other: a wavenumber 1 lifts or lowers both, while the two sides of an
//      eye's eyewall differ by twice it), the narrower one is its flanking peak, and the wind beyond that
//      peak falls below the dip's bottom within the segment (the eye beyond the inner eyewall, the record
//      ending inside it; an eye inside the dip's flanks, the outer eyewall's crossings, is found about
//      their midpoint).
//      Between two dips whose spans meet, the eye may lie unseen: crossed on a short chord and
//      filled by the eyewall's winds, the 61-s mean smooths it away, or a wavenumber 1 lifts it over the
//      weak side's eyewall; the lowest 10-s mean halfway between them, or the midpoint itself with the
//      moats as its flanks, is a candidate too. Of several candidates the eye is the one about which the
//      wind is most nearly symmetric (the misfit of step 3 over twice the wind's variance) over 2.5
//      times the time to its flanking peaks: beyond the eyewall lie the same moat and outer eyewall on
//      both sides of the eye, while a moat has the eye on one side and the outer eyewall on the other.
//      The depth does not tell them apart (the moat on a wavenumber 1's weak side can be deeper than the
//      eye's winds); it decides only where a segment is too short to judge every candidate. The eye lies
//      inside the innermost maximum: a dip whose flanking peaks enclose another dip and its flanks, the
//      enclosed dip's flank towards it clearly weaker (below 0.8) than its own on that side (the weak and
//      strong sides of one eyewall, not an inner and an outer eyewall of about the same strength), is a
//      moat and no candidate while another remains. Nor, where the symmetry judges every candidate, is a
//      dip between an inner and an outer eyewall: outward from its maximum an inner eyewall falls to 0.85
//      of it within about 0.4 of its radius, an outer one (at 2-3.5 inner radii) keeps that share out to
//      about twice its radius, so the time from the peak nearest the dip on each side, away from it, to
//      0.85 of that peak differs 2.5 times or more about a moat and is alike (within 1.5 times) about the
//      eye; nor is the midpoint of such a moat and a dip between alike eyewalls whose bottom lies below
//      0.35 of its lower peak (the eye; the midpoint is on its eyewall), nor the dip across the eye from
//      such a moat: where a candidate found halfway between two dips has alike flanks and one of the two
//      is a moat by its flanks, the other is the moat on the eye's far side, even where its outer eyewall
//      runs to the record's end and its width stays unknown. Where the eye's highest flanking
//      peaks are not alike (one side's is an outer eyewall, lifted above the inner one by a wavenumber 1
//      or an outer maximum above the inner; or their kinds are unknown, that outer eyewall's width running
//      into the record's end) while the nearest peaks are alike, the nearest peaks are its flanks. A moat
//      by its flanks between an eye (a bottom below 0.35 of its lower peak, its own flanks not a moat's)
//      and one of its highest flanking peaks puts that peak on the outer eyewall (an outer maximum above
//      the inner one): the eye's flanks are then its nearest peaks, the moat's side no farther than the
//      moat's inner peak; so they are where one flanking peak lies 2.5 times or more as far from the eye
//      as the other (a chord crosses one eyewall equally far either side of the closest approach; the
//      weak side's moat too shallow for a dip). And the midpoint of two dips, one a moat by its flanks and
//      the other of unknown flanks whose bottom keeps 0.35 of its peaks' mean (its outer eyewall's width cut
//      by the record's end or alike the inner one's over a short chord), has a moat on both sides: the other
//      dip is no candidate.
//   3. Along one pass the wind is modelled inside the eyewall as a symmetric profile about the point of
//      closest approach plus a linear gradient across the eye:  V(t0 + tau) = S(|tau|) + g tau.  The
//      aircraft's storm-relative velocity is constant on a straight leg, so S is symmetric in time about
//      the time t0 of closest approach whatever the miss distance, and a wavenumber-1 asymmetry (in any
//      direction) is to first order the gradient g. t0 minimises
//      sum over tau of (V(t0 + tau) - V(t0 - tau) - 2 g tau)^2 with g fitted for each t0, over tau up to
//      the nearer eyewall peak: the symmetric-crossing argument (Willoughby and Chelmow 1982) with the
//      eyewall's own asymmetry removed. t0 is scanned every 2 s, then every 0.25 s about the best; the
//      retrieval's noise, interpolated between seconds, roughens a flat misfit at that scale, and where the
//      finer scan's best falls on its edge the scan moves there (within the search) until it lies inside.
//      A t0 whose pairs of retrieved seconds number fewer than half the most that any t0 of the scan has
//      is not judged: a gap in the retrieval (failing over the strongest eyewall) leaves about a t0 on the
//      other flank's slope only pairs on that slope, which the gradient fits exactly at any t0 there.
//      Its error has two parts: the noise's, 2 s2 / E'' for the misfit's
//      curvature E'' and residual variance s2, multiplied by (1 + rho) / (1 - rho) for the residuals'
//      lag-1 correlation rho; and the model's, the move of t0 when the fit reaches only 0.6 as far (less
//      the shorter fit's extra noise), since the odd part of the wind is linear only near the centre.
//      The wind speed cannot fall below the eye's residual wind: where a wavenumber 1 fading to the
//      centre would take the weak side's wind below it, the speed stays on that floor further on the weak
//      side than on the strong one, the odd part is not linear there, and a fit including those seconds
//      is drawn towards the floor's middle (30-50 s, 4-7 km along the track, across a 65-km RMW with a
//      flat power-law core). Where the floor (the stretch about the dip whose 61-s mean lies within 2 m/s
//      of its lowest, that lowest below 0.35 of the lower peak) holds the flanking peaks' midpoint and is
//      resolved (two 61-s windows wide or more; or, for a pass timed by its eyewall cusps below, its
//      10-s mean within 2 m/s of its lowest for 85 s or more: a wavenumber 1 of 0.3 Vmax over 7.5 m/s
//      of eye wind floors a 26-km RMW's weak side 10 km out and its strong side 5 km, 80-120 s of the
//      61-s mean, which otherwise leans every pass 0.6 km on an exact field, 2.3 km as retrieved; a
//      V-shaped bottom keeps its 10-s mean within 2 m/s for 50-70 s, and a rounded Holland peak placed
//      by the eyewall's rise alone strays further than with the eye's pairs), the fit keeps to the
//      pairs beyond its farther edge from
//      that midpoint (at most half the reach). That leaves the fit the eyewall's inner rise alone: on the
//      family's power-law cores, as retrieved, it misses the closest approach by 10-30 s (1-3 km along
//      the track), though on an exact field it is right within 2 s. There, when
//      both eyewall maxima of step 4 are cusps (the power law inside meeting the decay outside: S'' h^2
//      at least 6 times the peak, h the time to it, where a Holland (1980) peak has B^2 / 2, at most 3.1
//      in the family), the pass's time is the maxima's midpoint: a cusp stays at the RMW whatever the
//      gradient across the eye (a maximum of S(|tau|) + g tau lies g / |S''| later on both sides, which
//      is taken off), while a rounded peak moves with the gradient and the asymmetry's shape by tens of
//      seconds, and the symmetric fit stays. The time's errors are then the maxima's (half the root sum
//      of squares of their time errors, as for the chords of step 4) and, as its model share, the
//      gradient's shift taken off.
//   4. The centre at t0 lies on the line through the aircraft perpendicular to its storm-relative
//      velocity. The centre moves at a constant velocity over the flight: c(t) = c0 + U (t - tref). Every
//      pass gives one linear equation in (c0, U) with its standard error across the line: the time's
//      noise, the retrieval's lag (known to 0.5 s) and a single maximum's offset on a lopsided storm (step
//      5) at the storm-relative speed, and the model's share.
//      Passes at two or more headings fix c0 and U by weighted least squares, with priors (U: a still
//      storm within 7 m/s, or the track's motion within 1.5 m/s; c0: the passes' mean, 50 km) that decide
//      only what the passes cannot (one heading, passes close in time). The storm-relative velocity
//      depends on U, so the fit is repeated three times. A pass more than 5 standard errors off the
//      others' solution is left out while more than three remain. With more than four passes their
//      scatter gives the model's share instead: a variance tau^2 common to every pass such that the
//      residuals normalised by sqrt(noise^2 + tau^2) have a mean square of one per degree of freedom (the
//      method of moments for a variance component; 0 when the noise explains the scatter); each pass's own
//      model share (1.25 times its move with the fit's reach) stays as a floor under that in the
//      solution. Where the passes agree better than those shares say, the covariance takes the shares
//      scaled down to what the residuals show, pooled with the moves' own estimate (see
//      model_share_scale); the solution keeps its weights. With four
//      passes or fewer a wrong pass cannot show: each line then carries 0.3 of the distance from the
//      centre to the nearer eyewall, times the dip's doubt: 1 where it could be a moat or a rain-band
//      gap, 0 for the eye's signature (a bottom within 0.1 of the flanking peaks' mean, the peaks
//      within 0.1 of it either side), ramping to 1 at a bottom of 0.35 (a moat keeps strong wind at
//      its bottom) or peaks 0.3 apart (a gap flanked by one strong side).
//      Where the passes and the motion's prior disagree beyond their errors
//      the covariance is multiplied by the Birge ratio (their normalised sum of squares per pass, > 1).
//      Half of each pass's model share comes from the storm's profile, which every pass repeats: neither
//      the passes' scatter nor their number shows or shrinks it, so its mean square is added to the
//      centre's variance and the motion's covariance grows in the same ratio.
//      A line fixes the centre only along its pass; across it the eyewall does too. The eyewall is close
//      to a circle about the centre, so the maxima either side of a pass that misses the centre by d lie
//      a chord 2 sqrt(R^2 - d^2) apart, R the eyewall's radius common to all passes (the centre
//      equidistant from the wind maxima, Willoughby and Chelmow 1982). Each pass's maxima (the largest
//      10-s mean between 0.5 and 1.6 times the time to the nearer eyewall peak on either side, placed by
//      the cubic of step 7) give sqrt(d^2 + h^2) = R for h the half distance between them in the
//      storm's frame; with three such chords or more, R joins the unknowns and each chord one equation,
//      solved with the lines by Gauss-Newton from the lines' solution. A chord's error is its maxima's
//      time errors at the storm-relative speed with a spread of the eyewall about a circle: first 0.1 R
//      (an elliptical eyewall, a wavenumber 2), then the one that makes the chords' normalised mean
//      square one per degree of freedom, at least 0.03 R with six chords or more (else at least 0.1 R);
//      a chord 4 of its errors off (a rain band's or an outer eyewall's maximum) is left out. A chord
//      only says how far the centre lies from the pass, not on which side: the lines' solution decides.
//      A dip pass crossed inside the eyewall, so its centre lies across the track within the half chord
//      h (the storm-relative distance to the nearer eyewall peak) of the aircraft: a solution beyond h is
//      held at h (error h/4), and the covariance then takes h itself as that bound's error. A dip that
//      falls near calm bounds the miss tighter: inside the eyewall the wind rises with the radius no
//      slower than the storm family's flattest inner profile (the lower of a Holland B = 2.5 and a power
//      law r^2.5), less a wavenumber 1 of half the flanking peaks' difference fading to the centre, so
//      the wind at the bottom (the mean over 21 s about the closest approach less the gradient, plus
//      1 m/s for the noise), a share q of the peaks' mean, puts the miss within rho R for the largest
//      rho that profile allows at q, that is within h rho / sqrt(1 - rho^2); that bound replaces h when
//      smaller, and counts in the covariance of every pass within it (the centre anywhere within the
//      bound: a spread of bound / sqrt(3)), so two such passes at headings well apart fix the centre
//      at both times and the motion between them.
//      The shape of the dip's bottom does not bound it: the family's cores turn slower than a
//      solid body near the centre (a Holland core is nearly calm out to 0.3-0.4 RMW), so a pass that
//      misses by 0.3 RMW shows as sharp a bottom as one through the centre. Passes along one heading,
//      an hour or more apart, with none found at another: the fit is repeated with each dip pass putting
//      the centre on its track (error h/4, the whole h in the covariance), the middle of its bound, as a
//      single pass is placed, where the motion's prior would leave the fixes at the bound's edge. This
//      decides only what nothing else does, such as passes at one heading hours apart, whose motion across
//      the track the still-storm prior would otherwise set.
//   5. Passes the dip search missed (a miss beyond about 0.6 RMW leaves no dip; rain or an eye's winds
//      can fill it): the fitted centre, or the track when no dip was found, predicts each straight
//      segment's closest approach, and where that lies within 20 km, or 0.7 of the legs' median RMW when
//      larger, the symmetric fit of step 3 about it (between the highest 10-s means within 900 s either
//      side, both at least 15 m/s: a wide eye's floor where the stretch stops inside it bounds nothing;
//      or over 300 s either side of a single maximum) gives the pass, when the segment reaches the
//      whole fit on both sides of it and cuts the fit's reach to no less than half (a stretch that ends
//      near the closest approach leaves a rise that the gradient takes up at any time); the fit of step 4
//      is repeated. On a lopsided storm a single maximum lies off the closest approach: along a chord at
//      the miss d the wavenumber 1, G . r / |r| at r from the centre, has the odd part
//      (G . e) x / sqrt(d^2 + x^2) in the distance x along the storm-relative direction e, which rises
//      through the closest approach and levels off a miss or so either side, so the fit's gradient cannot
//      take it up and the nearly flat top of the symmetric part lets it move the fitted time towards the
//      strong side. G comes from the dip passes (a gradient times the half chord is G . e of that pass;
//      least squares over two headings or more, else that rise's rms in any direction), d from the centre
//      that predicted the pass; the time about which the wind less that odd part is symmetric (the same
//      misfit, scanned over the search) lies some seconds from the time without it, and that offset joins
//      the pass's own error (in its weight, the covariance and accuracy_km): a pass whose maximum may lie
//      far off weighs little, and the other passes fix the centre. A G . e below the retrieval's 1 m/s is
//      none the dips can show.
//      Without a dip and without a track, each segment's highest 61-s mean is taken as a single-maximum
//      pass, and these stand when their closest approach to the centre fitted to them lies within 20 km
//      and two of them cross at more than 30 degrees. Failing that, a single clear maximum: the flights'
//      highest 61-s mean on a straight segment, the mean falling below 0.8 of it on both sides within the
//      segment and staying below that everywhere else (the closest approach to a storm whose eye the
//      aircraft passed beside), is taken as a pass with its fix on the track at the symmetric fit's time.
//      The side of the centre is unknowable from the wind speed alone; its distance is bounded by the
//      maximum's width: outside the RMW the family's steepest profile (Holland B = 2.5) keeps 0.8 of its
//      peak out to 1.574 RMW, so the mean half width along the track at 0.8 is at least 1.216 times the
//      miss. The fix's spread across the track is that bound, and a bound beyond 60 km (a pass far from
//      the storm, the maximum too broad to place it) leaves the flights refused.
//   6. A fix's accuracy_km is sqrt of the trace of the covariance of c(t0), which includes the motion's
//      uncertainty: a circle holding about 63 % of a round error and 68 % of an error along one line
//      (twice it: 98 % and 95 %). The motion is fixed by the passes when its standard error is below
//      1 m/s in both components; otherwise the analysis says why (one pass, passes within an hour, one
//      heading) and where the motion comes from (the track, or the still-storm prior).
//      Where the vortex fit (vortex.hpp) ran and did not place the fixes, two more steps. A wavenumber 2
//      oblique to a pass that misses the centre by d moves its symmetric time: along the chord through
//      V = S(r) (1 + a2 cos 2 (theta - theta2)) the odd part of the wind along the storm-relative track is
//      S a2 sin 2 (theta2 - heading) 2 x d / (x^2 + d^2), about 2 d a2 sin(..) S / x beyond x = d: a step
//      across the eye that the gradient g cannot take up, matched by a shift dx of the symmetric time where
//      S ~ x^a (dS/dx = a S / x), dx = kappa a2 sin 2 (theta2 - heading) d with kappa = 2 / a, towards the
//      stronger side. On exact fields (dip passes, misses of 2-10 km up to 0.5 RMW, RMW 15-65 km, 4 and 8
//      m/s in seven orientations) the shift is that linear term within 0.01-0.2 km, kappa 0.6-0.8 for a
//      Holland B of 1.0, 0.47 for 1.6, 0.33 for 2.4, 1.9-2.0 for a power law r^1 and 0.45 for concentric
//      eyewalls (RMW 15 and 65 km; at 35 km their passes took the moat). The vortex fit's share a2 and inner
//      power a (converged and sound, vortex_sound) give each dip pass its own error kappa a2 d / sqrt 2 (the
//      root mean square over the orientation; wn2_line_error), d its miss from the passes' centre at most
//      half the inner eyewall's radius, and the passes are solved again: the pass that the wavenumber 2
//      biases most weighs least, and the covariance carries it. The fitted a reaches its bound of 8 on a
//      Holland core, so a is held within 1-2 (kappa 1-2: on exact Holland fields the fitted share is about
//      half the storm's, on the family's flights close to it). The fit's orientation lies within 20
//      degrees of the truth for 54 of the 62 sound fits of the family's wavenumber-2 storms (median 2
//      degrees), but the term with |sin 2 (theta2 - heading)| in place of its root mean square held fewer
//      of their fixes (75 / 92 % within one / two errors against 77 / 94 %, calibrated): the shift has
//      parts the orientation misses. Then the calibration: the covariance is made of
//      conservative bounds (the wrong-pass share, the shared share, the model shares) and held 88 % of the
//      truth within one stated error and 99 % within two on the storm family's twelve used sets (1608 fixes
//      of the pass solution, the wavenumber 2's error included); the centre's standard errors (accuracy_km,
//      the legs' centre term) are multiplied by 0.7, which gives 74 % and 95 %. The motion's errors, the
//      radii's quadrant shares and the vortex fit's own errors stay as solved.
//      Without a track, the vortex sought in every straight second (search_vortex, vortex.hpp) places the
//      centre where no pass was found (passes that all miss a broad-cored, lopsided storm's eye by half its
//      radius see no dip and no lone maximum), and checks two to eight passes: where the binned profile
//      about their track fits the winds 5 times worse than about the search's best one and the searched
//      vortex lies farther from them than its own error, it replaces them; from 3 times (or where it
//      cannot replace them) they stand with the distance to the search's track added to their centre's
//      variance. Its passes are each straight stretch's closest approach to the searched track within
//      10 km (or 0.5 RMW) and its model error, their fixes on that track; the legs take the whole centre
//      term (it is not placed by their eyewall maxima).
//   7. Legs: each straight segment is inbound up to the closest approach to the centre and outbound after
//      it. A leg's peak is the largest 10-s mean of the retrieved wind (10 consecutive seconds, at least 7
//      of them retrieved). Where that peak lies is not taken from the largest window itself: the top of an
//      eyewall peak is flat (the wind within 1 % of the peak spans 6-11 km of a radial leg for an RMW of
//      25-45 km), so the retrieval's noise of a few tenths of a m/s moves the largest 10-s mean kilometres
//      along the leg. The peak's time is instead the local maximum of a least-squares cubic in time fitted to
//      the retrieved seconds where the 10-s mean lies within 4 % of the peak (at least 15 s and at most 200 s
//      either side of the largest window; a flat peak far from the centre uses the longer reach). A cubic,
//      not a parabola, because a radial wind profile is skewed about its maximum, steeper inside than
//      outside: for a Holland (1980) profile V ~ Vmax (1 - (B^2/4) d^2 + (B^2/4 + B^3/12) d^3) in d = (r -
//      RMW) / RMW, and a parabola over the same span places the maximum 0.46 w^2 RMW outwards (w the span's
//      half-width in units of RMW; about 1 km for a 35-km RMW and the 4 % span), which a cubic takes up.
//      What the cubic leaves, the quartic and higher terms of a skewed, flat-topped profile, still pulls
//      its maximum outwards (on the kept sets the RMWs lay outside the true largest 10-s mean's range on
//      64 % of the legs, by 0.19 km at the median); the same fit over half the span shows it, since that
//      pull grows as the span squared. The peak's time is the cubic's maximum moved towards the half
//      span's by the model's error below times the share of the move that is not noise, 2/3 (m^2 - n) /
//      |m| for a move m whose noise has the variance n, within the span; the pass search keeps the
//      maxima as fitted. The position, range and bearing of the peak, its RMW, are taken
//      at that time; when the fit has no maximum inside its span (a leg whose wind still rises at its
//      end, too few retrieved seconds) they stay at the largest window's mid-time. The peak wind itself
//      stays the largest 10-s mean.
//      Errors: the noise s10 of one 10-s mean comes from the second differences of consecutive
//      non-overlapping 10-s means along the leg (1.4826 times their median absolute value over sqrt 6).
//      Over a flat top the largest of K independent 10-s means exceeds the true largest by the largest of
//      K normal deviates, K the time within s10 of the maximum over 10 s: peak_error = s10 sqrt(mu_K^2 +
//      s_K^2) with mu_K ~ sqrt(2 ln K) - 0.6 and s_K ~ 1 / (1 + 0.2 ln K). The maximum's time has the
//      cubic's error by the delta method (var x* = g' M^-1 g s2 / V''^2 with g = (0, 1, 2x, 3x^2)),
//      multiplied by the residuals' (1 + rho) / (1 - rho), and the model's: 2/3 of the move of the
//      maximum when the fit spans half as much (the quartic term's pull grows as the span squared, 4/3 of
//      the move, of which about half is bias and the rest the fits' correlated noise), taken for the RMW,
//      whose maximum that model's error has moved, sqrt(0.8 + 0.8 (c - 1)) times, at most 1.25, for the
//      fit's residual correlation factor c = (1 + rho) / (1 - rho): the shift carries the fits' noise
//      beyond their formal variances the more, the more strongly that noise is correlated. At
//      the range rate of the leg that is the RMW's error along the leg. A flat top adds 0.05 w^2 / RMW,
//      w the range (km) the cubic's span covers: a slope of 1.6 % of the peak per RMW left out of the
//      radial profile (the asymmetry along a leg off the centre, the storm's change during the leg) moves
//      the maximum of a top falling 4 % over w/2 that far. A span cut by the leg's first or last second on
//      one side only adds a uniform spread over the reach it lost (the far side's reach less the near
//      side's, over sqrt 12, at the range rate), where the wind's fall was never seen, times the share of
//      the half span's move that is not noise: the lost reach moves the maximum only as far as the profile
//      beyond the cubic pulls it. Half the centre's
//      standard error along the peak's bearing adds to it: the centre comes from the same eyewall maxima,
//      so its error along a pass moves the peaks with it (a centre midway between two maxima leaves the
//      range to one half their variance). A rival maximum (a second hump of the 10-s means, the largest
//      within 30 s, parted from the peak by means below its top: a concentric eyewall, a flat chord far
//      out) adds its range offset squared times the chance that its true wind is the higher,
//      Phi(-deficit / (sqrt 2 s10)) (peak_radius_error_km). The wind radii's test of a mean inside the
//      RMW keeps the cubic's terms, the 10-s window's length (10 / sqrt 12 s) and the whole centre term
//      (peak_core_error_km).
//   8. Wind radii: over the 10-s means of all legs, per quadrant of bearing from the centre (a mean within
//      2 km of a boundary's line counting for both quadrants), the largest distance at which the mean
//      reaches 34, 50 and 64 kt, with the flags E and U of radii.hpp.
// Limits: the storm's motion is taken as constant over the flights; the asymmetry as linear across the
// eye, so a wavenumber 2 oblique to the passes biases a pass that misses the centre by a little (0.6 km
// for 8 m/s at 30 degrees and a 5-km miss) in a way that mimics a shift, which the errors see only through
// the vortex fit (step 6): where that fit fails or is unsound (passes at one heading, concentric eyewalls
// whose moat the fit's profile cannot follow) it stays unseen, and a pass about a single maximum carries
// none of it; a pass that
// misses beyond the eyewall by more than 20 km, found without a track, fixes the centre poorly and is
// left out; positions use a local tangent plane (distance errors below 1 % within 200 km).
#pragma once

#include <array>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "archive/nc_reader.hpp"
#include "common/earth.hpp"
#include "storm/radii.hpp"

namespace sfmr::storm {

// Local east/north kilometres about a reference point (WGS84 radii of curvature at its latitude).
struct Plane {
  double lat0 = 0.0, lon0 = 0.0;
  double km_per_deg_lat = 111.0, km_per_deg_lon = 111.0;
  static Plane at(double lat, double lon);
  void to_xy(double lat, double lon, double& x, double& y) const;
  void to_latlon(double x, double y, double& lat, double& lon) const;
};

// Distance (km) and bearing (deg clockwise from north) of (lat, lon) from (clat, clon): the earth model's.
using earth::range_bearing;

// A flight as the analysis sees it.
struct Series {
  std::string name;
  std::vector<double> t;           // s since 1970
  std::vector<double> lat, lon;    // deg, NaN when unknown
  std::vector<double> wind, rain;  // m/s, mm/h; NaN without a retrieval
  std::vector<char> turn;          // banked turn or no position
};

// The retrieved wind of a line describes the sea some seconds before the line's position: the six
// channels are measured two per second, so a full set takes 3 s, and the retrieval of a second uses the
// latest value of each channel. Cross-correlating the retrieved wind with the simulator's truth shows the
// wind 3 s behind the position of the same output line (4 s behind the truth, the position 1 s behind).
// The analysis pairs each position with the retrieval `lag` seconds later.
constexpr double kRetrievalLag = 3.0;  // s

// Standard error (km/s, each component) below which the passes are said to fix the storm's motion.
constexpr double kMotionConstrained = 1.0e-3;

Series series_of(const archive::ArchiveFlight& f, double lag = kRetrievalLag);

struct Pass {
  std::size_t flight = 0;
  double time = 0.0;            // closest approach, s since 1970
  double lat = 0.0, lon = 0.0;  // the fixed centre at `time`
  double accuracy_km = 0.0;     // radius about the fix holding the true centre with about 68 % probability
  double gradient = 0.0;        // m/s per s along the pass, the asymmetry across the eye
  double time_sigma = 0.0;      // s, standard error of `time` from the symmetric fit's noise (method, step 3)
  double shape_sigma = 0.0;     // s, its model error: the move of `time` with the fit's reach
  double reach_s = 0.0;  // s, reach of the symmetric fit: the time from the centre to the nearer eyewall
  // s, a bound on the miss across the track from the dip's depth (method, step 4), as time at the
  // storm-relative speed; infinite where the dip cannot bound it tighter than reach_s
  double miss_s = std::numeric_limits<double>::infinity();
  // How far the dip could be a wrong pass (a moat, a rain-band gap) by its shape: 1 where it could be,
  // down to 0 for a near-calm eye between even maxima; it sizes the wrong-pass share of few passes.
  double wrong_doubt = 1.0;
  bool seeded = false;  // found where the centre track predicted a pass (method, step 5)
  // s, error of a sought single maximum's time from the storm's wavenumber 1 (method, step 5)
  double lopsided_sigma = 0.0;
  // km, error of the line from the storm's wavenumber 2 at the pass's miss (method, step 6; wn2_line_error)
  double wn2_km = 0.0;
  // The input whose pass of the same crossing was left out for this one (same_crossings), or npos.
  std::size_t twin = std::numeric_limits<std::size_t>::max();
  std::string evidence = "surface wind";  // what placed the fix: the radiometer's wind, or more (a refiner's)
  // Fit inputs: the aircraft's position at `time` in the plane, km, and the ground velocity, km/s.
  double x = 0.0, y = 0.0, vx = 0.0, vy = 0.0;
  // The eyewall's maxima before and after the closest approach (method, step 4): their fitted times (s
  // since 1970; NaN when not found), the aircraft's position then in the plane (km) and the times'
  // standard errors (s).
  std::array<double, 2> wall_time{std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::quiet_NaN()};
  std::array<double, 2> wall_x{}, wall_y{}, wall_sigma{};
};

struct Motion {
  double t_ref = 0.0;         // s since 1970
  double x0 = 0.0, y0 = 0.0;  // centre at t_ref in the plane, km
  double u = 0.0, v = 0.0;    // km/s east, north
  // Covariance of (x0, y0, u, v), km and km/s; zero when the centre is the track's.
  std::array<std::array<double, 4>, 4> cov{};
  // Standard error of the motion (km/s, the larger component) from the passes' own errors and the priors,
  // before the wrong-pass and Birge widening: whether the passes' geometry fixes the motion.
  double motion_sigma = 0.0;
  // The eyewall's radius common to the passes (km; NaN when the maxima were not used) and the spread of
  // a maximum's range about it (km): the eyewall's departure from a circle.
  double wall_radius = std::numeric_limits<double>::quiet_NaN();
  double wall_spread = 0.0;
};

// Variance (km^2) of the centre at time t along unit vector (ex, ey) of the plane.
double centre_variance(const Motion& m, double t, double ex, double ey);

// A fix's accuracy (km) at time t: the square root of the trace of the centre's covariance, a circle
// holding about 63 % of a round error and 68 % of an error along one line.
double centre_accuracy(const Motion& m, double t);

struct Leg {
  std::size_t flight = 0;
  int number = 0;  // 1.. per flight
  bool inbound = true;
  std::size_t begin = 0, end = 0;  // seconds [begin, end) of the flight
  bool has_peak = false;
  double peak = 0.0;  // m/s, largest 10-s mean
  // Where the peak lies: the fitted maximum (method, step 7), else the largest window's mid-time.
  double peak_time = 0.0;
  double peak_lat = 0.0, peak_lon = 0.0;
  double peak_radius_km = 0.0, bearing_deg = 0.0;
  double peak_rain = 0.0;  // mm/h, 10-s mean at the peak
  // Standard errors (method, step 7): of the peak 10-s mean (m/s) and of its range from the centre (km).
  double peak_error = 0.0, peak_radius_error_km = 0.0;
  // The RMW's error from the cubic's terms at the passes' model share and the whole centre term, without a
  // rival maximum (km): the wind radii's test of a mean inside the storm's RMW (radii.cpp) uses it.
  double peak_core_error_km = 0.0;
};

struct Analysis {
  Plane plane;
  std::vector<Pass> passes;
  Motion motion;
  bool centre_from_flight = false;  // the fitted centre (else the track's)
  // Whether the passes fix the motion (Motion::motion_sigma below kMotionConstrained);
  // when not, `motion_note` says why (one pass, passes close in time, one heading) and where the motion
  // comes from; the fixes' accuracy includes the motion's uncertainty either way.
  bool motion_constrained = false;
  std::string motion_note;
  // With the passes along one heading, what the fixes rest on across it (the eye's bound, the motion's
  // prior); empty otherwise.
  std::string across_note;
  // What the vortex sought in every straight second did (placed the centre, or widened the passes'
  // errors); empty where it left the passes alone.
  std::string search_note;
  CentreFn centre;
  // Factor on the centre's standard errors from `motion` (accuracy_km and the legs' centre term): the
  // calibration of the pass solution's (method, step 6), 1 where the vortex fit placed the fixes; the
  // legs take it twice over their half share where the vortex search placed them (search_vortex).
  double centre_scale = 1.0;
  std::vector<Leg> legs;
  Radii radii;
  // Per flight and second: distance (km) and bearing (deg) from the centre, and the leg (0: none).
  std::vector<std::vector<double>> range_km, bearing_deg;
  std::vector<std::vector<int>> leg_of;
};

// Passes found in the flights (their `time`, position and velocity), before the fit.
std::vector<Pass> find_passes(const std::vector<Series>& flights, const Plane& plane);

// Spread of the motion's prior (km/s): without a track, a still storm within the speeds tropical cyclones
// move at (0-14 m/s at two standard errors); with one, the track's motion over the hour around the passes
// (positions to 0.1 deg six-hourly, and the track's own wobble).
constexpr double kPriorMotion = 7.0e-3;
constexpr double kTrackMotion = 1.5e-3;

// Scale s in (0, 1] of the passes' model shares (km, `model`) that the passes' own agreement supports:
// with more passes than `unknowns`, the s^2 that gives the residuals `resid` (km) normalised by
// sqrt(noise^2 + max(scatter^2, s^2 model^2)) a mean square of one per degree of freedom nu (the method
// of moments, as for the scatter), when below one, pooled with the moves' own estimate (s = 1) counted as
// kModelPrior degrees of freedom: s^2 = (nu s_fit^2 + kModelPrior) / (nu + kModelPrior). 1 when the
// residuals need the whole shares or there are too few passes to show them.
double model_share_scale(const std::vector<double>& resid, const std::vector<double>& noise,
                         const std::vector<double>& model, double scatter, std::size_t unknowns = 4);

// One crossing seen by two inputs (the 1-s file and the HDOB archive of one mission) keeps one pass: of two
// passes of different inputs within kTwinS of each other in time whose aircraft positions, carried to the
// same time, lie within kTwinKm on the same course (ground velocities within kTwinCourse of the speed),
// the one whose time has the smaller error stays (the other's wind is the same radiometer's, so the two
// are not independent), its `twin` naming the other's input, whose other evidence (an HDOB archive's
// pressure and flight-level wind) it then takes. The analysis applies it before the passes are refined
// and the motion fitted.
constexpr double kTwinS = 120.0;      // s
constexpr double kTwinKm = 5.0;       // km: the HDOB's whole-minute positions are 1.85 km apart in latitude
constexpr double kTwinCourse = 0.25;  // share of the ground speed
void same_crossings(std::vector<Pass>& passes);

// Fits the motion to the passes (prior motion u_prior, v_prior km/s, each within motion_sigma) and sets
// each pass's fix and accuracy; passes far off the others' solution are removed. `on_tracks`: passes
// along one heading without eyewall chords put the centre on each dip pass's track, within its bound.
Motion fit_motion(std::vector<Pass>& passes, const Plane& plane, double u_prior, double v_prior,
                  double motion_sigma = kPriorMotion, bool on_tracks = false);

// Whether the passes run along one heading (a pass and its reverse agree).
bool passes_one_heading(const std::vector<Pass>& passes);

// Adds to the centre's variance of `m` the part of the passes' model error that every pass repeats (the
// profile's shape; method, step 4), widening the motion's covariance in the same ratio.
void add_profile_bias(const std::vector<Pass>& passes, Motion& m);

// The last resort without an eye, a track or crossing single maxima (method, step 5): the flights' one
// clear wind maximum as a pass in `pass`, its time, position and velocity set, and the bound (km) on the
// centre's distance across its track from the maximum's width; false when there is no such maximum or the
// bound exceeds 60 km.
bool lone_maximum(const std::vector<Series>& flights, const Plane& plane, Pass& pass, double& bound_km);

// Scales the spread of `m`'s centre across the storm-relative track of `pass` to `bound_km` (a centre on an
// unknown side of the track within the bound), keeping the covariance's correlations.
void hold_across(const Pass& pass, double bound_km, Motion& m);

// Noise of one 10-s mean of the leg's retrieved wind (m/s), NaN when the leg has fewer than five 10-s means.
double ten_second_noise(const Series& flight, const Leg& leg);

// Legs of every flight relative to `centre`, with their peaks from each Series' wind and their errors
// (`centre_var` the centre's, none when empty); `corrected`: each peak's time moved by its model's error
// (locate_peak), else the cubic's maximum as fitted.
std::vector<Leg> cut_legs(const std::vector<Series>& flights, const CentreFn& centre,
                          const CentreVarFn& centre_var = {}, bool corrected = true);

// Sets the peak of `leg` from `flight.wind`: the largest 10-s mean, with its time, position, range and
// bearing at the mid-time of that window (the statistic itself, as taken from a noise-free wind).
void leg_peak(const Series& flight, const CentreFn& centre, Leg& leg);

// Time (s since 1970) of the local maximum of the cubic fitted to `wind` at times `t` around the largest
// 10-s mean (its first second `window`, its value `mean`) of seconds [begin, end) (method, step 7); NaN
// when the fit has no maximum inside the seconds it spans.
double peak_fit_time(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                     std::size_t end, std::size_t window, double mean);

// The share of the move of that cubic's maximum to the maximum of the same fit over half its span that is
// not the two fits' noise (method, step 7), in [0, 1]: 0 when the fit has no maximum or the half span's
// lies where the whole span's does (an exact cubic), near 1 for a noise-free profile that the cubic does
// not follow beyond its top.
double peak_move_share(const std::vector<double>& t, const std::vector<double>& wind, std::size_t begin,
                       std::size_t end, std::size_t window, double mean);

// Moves the time, position, range, bearing and rain of the peak set by leg_peak to the fitted time, when
// there is one (`corrected`: less the model's error towards the half span's maximum, method, step 7), and
// sets the peak's errors.
void locate_peak(const Series& flight, const CentreFn& centre, Leg& leg, const CentreVarFn& centre_var = {},
                 bool corrected = true);

// The reach (s) that a leg's end takes from the peak's cubic span [ta, tb] about its maximum `peak_time`
// (method, step 7): with the span starting at the leg's first second `first` (or ending at its last,
// `last`) and not the other way, the far side's reach from the maximum less the near side's, where the
// wind's fall was never seen; 0 when neither or both ends cut the span.
double cut_reach(double first, double last, double ta, double tb, double peak_time);

// Variance (km^2) that a rival maximum adds to a leg's RMW (method, step 7): the largest other 10-s mean
// that is the largest within 30 s either side and is parted from the peak window (its first second
// `window`, its value `mean`) by a 10-s mean more than 4 % below the peak, taken with the chance that its
// true wind is the higher, Phi(-deficit / (sqrt 2 s10)), times the square of its range minus the peak's
// (leg.peak_radius_km). 0 without a rival.
double rival_variance(const Series& flight, const CentreFn& centre, const Leg& leg, std::size_t window,
                      double mean, double s10);

// Standard error (km along the track) that a wavenumber 2 of `share` of the symmetric wind (V = S(r) (1 +
// share cos 2 (theta - theta2))) gives a pass's closest approach at the miss `miss_km` (method, step 6),
// over every orientation of the wavenumber 2 to the pass: kappa share miss / sqrt 2 with kappa = 2 / a,
// a the profile's inner power (S ~ r^a inside the eyewall, `inner_power`) held within [kWn2PowerMin,
// kWn2PowerMax] (the measured kappa of the family's profiles of inner power 1 or more lies within 0.33-2; a
// power law below r^1 is understated). 0 when share times `vmax` (m/s) stays below kWn2Floor, twice the
// retrieval's noise near calm.
constexpr double kWn2PowerMin = 1.0;
constexpr double kWn2PowerMax = 2.0;
constexpr double kWn2Floor = 2.0;  // m/s
double wn2_line_error(double share, double vmax, double inner_power, double miss_km);

// Evidence from outside the radiometer's wind (a pressure minimum, the flight-level wind's centre) that
// moves the passes' times and their errors before each fit of the motion; it leaves alone the passes whose
// `evidence` it has set already.
using PassRefiner = std::function<void(std::vector<Pass>& passes, const Plane& plane)>;

// The whole analysis. `track` (may be empty) gives the centre when no pass is found and the prior motion.
// Throws std::runtime_error when there is neither a pass nor a track and the vortex search finds none.
Analysis analyse(const std::vector<Series>& flights, const CentreFn& track, const PassRefiner& refine = {});

// Mean of the finite values of v[a, b), NaN when fewer than min_count (and at least one) are finite.
double nan_mean(const std::vector<double>& v, std::size_t a, std::size_t b, std::size_t min_count);

// Largest 10-s mean of `wind` over seconds [begin, end): the window's first index, or npos.
std::size_t peak_window(const std::vector<double>& wind, std::size_t begin, std::size_t end, double& mean);

}  // namespace sfmr::storm
