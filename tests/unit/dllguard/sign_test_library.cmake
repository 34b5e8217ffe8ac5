# Signs the test library with a throw-away code-signing certificate made on
# the spot: cmake -DOPENSSL=... -DOSSLSIGNCODE=... -DINPUT=... -DOUTPUT=... -DWORK=... -P
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/signing.cnf
"[req]
distinguished_name=dn
prompt=no
[dn]
CN=Guard Test Signer
[code_signing]
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
")
execute_process(
  COMMAND ${OPENSSL} req -x509 -new -newkey rsa:2048 -nodes -days 3650
          -keyout ${WORK}/signer.key -out ${WORK}/signer.pem
          -config ${WORK}/signing.cnf -extensions code_signing
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "openssl could not make the test certificate")
endif()
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${OSSLSIGNCODE} sign -certs ${WORK}/signer.pem -key ${WORK}/signer.key -h sha256
          -in ${INPUT} -out ${OUTPUT}
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "osslsigncode could not sign the test library")
endif()
