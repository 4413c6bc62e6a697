# `make package`: velmor-control_<version>_amd64.deb, with its dependencies read from the
# programs by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmor-control)
set(CPACK_PACKAGE_VENDOR "VELMOR Control developers")
set(CPACK_PACKAGE_CONTACT "VELMOR Control developers <velmor-control@velmor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "configuration and firmware-update tool for the VELMOR phono preamplifier")
# Debian wants the description's lines shorter than 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "\
The control panel of the VELMOR phono preamplifier reads and writes the
device's settings, edits its eight equalization curves while drawing their
frequency response, sets the turntable motor's voltage, ramp-up and speed
corrections, and updates the device's firmware. A service mode unlocks the
serial number, the delivery date, the motor control unit and a hardware test.
.
The package also carries velmorctl, the same tool for scripts and service
work, and velmor-sim, a simulated device to try every screen without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELMOR_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The panel's dialog fonts are substituted by these.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-urw-base35")
include(CPack)
