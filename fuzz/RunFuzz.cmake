cmake_minimum_required(VERSION 3.25)
# One fixed fuzzing run for ctest: a fresh working corpus, the seeds, a fixed seed of the
# random generator, and RUNS executions. A finding fails the test and is kept in ARTIFACTS.
#   cmake -DBIN=TARGET -DRUNS=N -DOPTIONS=... -DSEEDS=DIR -DWORK=DIR -DARTIFACTS=DIR -P RunFuzz.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${ARTIFACTS})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp
          ${BIN} -runs=${RUNS} -seed=1 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
          -close_fd_mask=3 -artifact_prefix=${ARTIFACTS}/ ${OPTIONS} ${WORK} ${SEEDS}
  RESULT_VARIABLE status
  ERROR_VARIABLE log)
string(REGEX MATCH "stat::number_of_executed_units: [0-9]+" executed "${log}")
if(NOT status EQUAL 0)
  message("${log}")
  message(FATAL_ERROR "${BIN}: a finding (exit ${status}); the input is in ${ARTIFACTS}/")
endif()
message("${executed}")
