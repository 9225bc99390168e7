# Included after project() (CMAKE_PROJECT_INCLUDE) by scripts/package.sh:
# writes the project's version for the package, so that CMakeLists.txt
# stays the one place the version is written.
file(WRITE "${CMAKE_BINARY_DIR}/project-version.txt" "${PROJECT_VERSION}\n")
