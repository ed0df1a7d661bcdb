# The Debian packages: `cpack -G DEB` in a build folder (scripts/package.sh
# does it in a clean one) makes kov_VERSION_ARCH.deb of everything the
# install() rules put in place without naming a component (the default
# component kov), so a part that gains an install rule is packaged without a
# change here, and python3-kov_VERSION_ARCH.deb of the component python: the
# Python module.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kov)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KOV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hysteresis loop analysis of cyclic loading tests")
# The long description; cpack puts the summary line before it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"kov reads the record of a cyclic loading test of a structural specimen
(displacement and load columns of a text file), plots its hysteresis loop,
splits it into cycles at the upward zero crossings of the load and computes
for each cycle the absorbed energy, the cumulative energy and the equivalent
damping factor. The user may correct each proposed cycle end and peak before
the results table is written beside the record.

kov-batch runs the same analysis without a window for any number of records.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps. What Qt loads at
# run time it cannot see: the platform plugins that open the window, and the
# SVG icon engine that draws the window's icon (libqt6svg6, named here also
# for a build whose programs do not link Qt's SVG module). The IPA fonts stand
# in for the Japanese fonts of the window and the file chooser.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libzip is loaded by name when a workbook is read, so dpkg-shlibdeps does
# not see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, libzip4")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL kov)
set(CPACK_DEBIAN_KOV_PACKAGE_NAME kov)
if(KOV_BUILD_PYTHON)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-kov)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION "Python module for hysteresis loop analysis of cyclic loading tests")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION
"Python module for hysteresis loop analysis of cyclic loading tests
The module kov reads the records of cyclic loading tests of structural
specimens and analyses them cycle by cycle with the same core as kov and
kov-batch: per-cycle energy, equivalent damping, stiffness and strength as
numpy arrays and pandas tables, the envelopes with their EEEP curves, the
loading protocol and the acceptance, and the results, JSON and CSV files
byte for byte as kov-batch writes them.")
  # The module is built for the Python 3.11 of Debian 12; what it links comes
  # from dpkg-shlibdeps.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= 3.11~), python3 (<< 3.12), python3-numpy, python3-pandas, libzip4")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-matplotlib")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "kov")
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# lintian reports no errors and no warnings. With --pedantic -I it shows only
# informational tags: binary-has-unneeded-section .comment (the compiler's
# version string, which strip keeps) and hardening-no-fortify-functions
# (scripts/package.sh builds with -D_FORTIFY_SOURCE=2, but the programs call
# none of the C functions that have checked variants). A package made from an
# ordinary build folder also lacks Debian's flags: hardening-no-bindnow.
include(CPack)
