# kl_library(<name> SOURCES ... [DEPS ...] [PKG ...])
# A static library for one folder; its folder's parent is the include root, so
# code includes "foundation/Value.h", "SQLDB/SQLDatabase.h" and so on.
function(kl_library name)
  cmake_parse_arguments(KL "" "INCLUDE_ROOT" "SOURCES;DEPS;PKG" ${ARGN})
  add_library(${name} STATIC ${KL_SOURCES})
  if(NOT KL_INCLUDE_ROOT)
    get_filename_component(KL_INCLUDE_ROOT "${CMAKE_CURRENT_SOURCE_DIR}/.." ABSOLUTE)
  endif()
  target_include_directories(${name} PUBLIC "${KL_INCLUDE_ROOT}")
  foreach(pkg IN LISTS KL_PKG)
    string(MAKE_C_IDENTIFIER "${pkg}" pkgid)
    pkg_check_modules(PKG_${pkgid} REQUIRED IMPORTED_TARGET ${pkg})
    target_link_libraries(${name} PUBLIC PkgConfig::PKG_${pkgid})
  endforeach()
  if(KL_DEPS)
    target_link_libraries(${name} PUBLIC ${KL_DEPS})
  endif()
endfunction()

# kl_module(<name>): a module library of every .cpp below the calling folder,
# built on the application, its headers found from the project root and from
# the folder itself. A folder with no sources yet makes no library.
function(kl_module name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(sources)
    kl_library(${name} SOURCES ${sources} DEPS kl_app)
    target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
endfunction()

# What every test ctest runs has in its environment (an ENVIRONMENT_MODIFICATION
# entry): GLib's slice allocator hands its blocks to malloc, so that
# LeakSanitizer sees a GLib or pango object (a PangoLayout, a font description)
# that is never freed; the allocator's own pools keep every such object reachable.
set(KL_TEST_GLIB_ENVIRONMENT "G_SLICE=set:always-malloc")

# How many times longer a test may take under ThreadSanitizer, which makes
# the heaviest tests 10 to 45 times slower than a plain debug build when other
# work shares the machine (up to about 300 s against 120).
set(KL_TSAN_TIMEOUT_FACTOR 5)

# kl_test(<name> SOURCES ... DEPS ... [TIMEOUT seconds]): one GoogleTest
# executable, its cases discovered by ctest. Every test runs with its own app
# home, a fixed zone and KL_TEST_GLIB_ENVIRONMENT, within 120 s unless TIMEOUT
# says otherwise; under ThreadSanitizer within KL_TSAN_TIMEOUT_FACTOR times
# that.
function(kl_test name)
  cmake_parse_arguments(KL "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT KL_TIMEOUT)
    set(KL_TIMEOUT 120)
  endif()
  if(KL_SANITIZE_THREAD)
    math(EXPR KL_TIMEOUT "${KL_TIMEOUT} * ${KL_TSAN_TIMEOUT_FACTOR}")
  endif()
  add_executable(${name} ${KL_SOURCES})
  target_link_libraries(${name} PRIVATE ${KL_DEPS} kl_testsupport GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "TZ=Asia/Shanghai" ENVIRONMENT_MODIFICATION "${KL_TEST_GLIB_ENVIRONMENT}"
               TIMEOUT ${KL_TIMEOUT})
endfunction()
