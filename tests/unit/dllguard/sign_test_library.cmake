# Throw-away code-signing certificates for the guard's tests, and files
# signed with them. Each signer's certificate is made once, in WORK, so that
# every file one signer signs carries the same certificate:
#   cmake -DOPENSSL=... -DSIGNER=<name> -DWORK=... -P sign_test_library.cmake
#       makes <WORK>/<name>.pem and <name>.key, and <name>.der (the
#       certificate alone, for tests that compare what they find with it)
#   cmake -DOSSLSIGNCODE=... -DSIGNER=<name> -DWORK=... -DINPUT=... -DOUTPUT=... -P sign_test_library.cmake
#       writes OUTPUT, INPUT signed with that certificate
set(certificate ${WORK}/${SIGNER}.pem)
set(key ${WORK}/${SIGNER}.key)

if(NOT DEFINED INPUT)
  file(MAKE_DIRECTORY ${WORK})
  file(WRITE ${WORK}/${SIGNER}.cnf
"[req]
distinguished_name=dn
prompt=no
[dn]
CN=Guard Test Signer ${SIGNER}
[code_signing]
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
")
  execute_process(
    COMMAND ${OPENSSL} req -x509 -new -newkey rsa:2048 -nodes -days 3650
            -keyout ${key} -out ${certificate}
            -config ${WORK}/${SIGNER}.cnf -extensions code_signing
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    execute_process(
      COMMAND ${OPENSSL} x509 -in ${certificate} -outform DER -out ${WORK}/${SIGNER}.der
      RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT result EQUAL 0)
    file(REMOVE ${certificate} ${key} ${WORK}/${SIGNER}.der)
    message(FATAL_ERROR "openssl could not make the test certificate ${SIGNER}")
  endif()
  return()
endif()

file(REMOVE ${OUTPUT})
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(
  COMMAND ${OSSLSIGNCODE} sign -certs ${certificate} -key ${key} -h sha256
          -in ${INPUT} -out ${OUTPUT}
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "osslsigncode could not sign ${INPUT} as ${SIGNER}")
endif()
