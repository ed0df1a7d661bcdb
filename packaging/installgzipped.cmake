# Run by `cmake --install` and by cpack: fills in the man pages and the
# changelog for this install and installs them compressed as Debian wants them
# (gzip -9n: best compression, no file name or time stamp inside).
# Set by the caller: KOV_SOURCE_DIR, KOV_BATCH_MAN (kov-batch's page as the
# build wrote it), KOV_WORK_DIR, KOV_VERSION, KOV_MAINTAINER, KOV_MANDIR,
# KOV_DOCDIR_RELATIVE, and KOV_CHANGELOG_ONLY.

# The names the texts use.
set(PROJECT_VERSION "${KOV_VERSION}")
set(KOV_PACKAGE_MAINTAINER "${KOV_MAINTAINER}")
set(KOV_DOCDIR "${CMAKE_INSTALL_PREFIX}/${KOV_DOCDIR_RELATIVE}")

# A folder of its own, so that two installs at once (a test beside cpack) do
# not share half-written files.
string(RANDOM LENGTH 12 kov_tag)
set(kov_work "${KOV_WORK_DIR}/gzipped-${kov_tag}")

# A macro, not a function: file(INSTALL) records what it installs in the
# caller's scope, for install_manifest.txt.
macro(kov_install_gzipped source name destination)
  configure_file("${source}" "${kov_work}/${name}" @ONLY)
  execute_process(COMMAND gzip -9nf "${kov_work}/${name}" RESULT_VARIABLE kov_failed)
  if(kov_failed)
    message(FATAL_ERROR "gzip failed on ${name}: ${kov_failed}")
  endif()
  file(INSTALL "${kov_work}/${name}.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${destination}")
endmacro()

# With KOV_CHANGELOG_ONLY (the package python3-kov), the changelog alone.
if(NOT KOV_CHANGELOG_ONLY)
  kov_install_gzipped("${KOV_SOURCE_DIR}/kov.1" kov.1 "${KOV_MANDIR}/man1")
  kov_install_gzipped("${KOV_BATCH_MAN}" kov-batch.1 "${KOV_MANDIR}/man1")
endif()
kov_install_gzipped("${KOV_SOURCE_DIR}/changelog" changelog "${KOV_DOCDIR_RELATIVE}")
file(REMOVE_RECURSE "${kov_work}")
