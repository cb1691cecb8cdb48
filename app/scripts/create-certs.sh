currentDir=$1 
country=$2 
province=$3 
locality=$4 
organisation=$5 
organisationalunit=$6 
yourname=$7 
youremailaddress=$8 

cd "$currentDir" 

# cert.pem holds the private key beside the certificate: no copy of it is
# ever readable by others.
umask 077

# The values must land in the template as literal text. Line breaks become
# spaces; openssl's escape, variable, comment and quote characters get a
# backslash; then backslashes, "/" and "&" are escaped for the replacement
# side of sed, so no value can end an expression, add a command or a flag.
literal () {
	printf '%s' "$1" | tr '\r\n' '  ' | sed -e 's/[\\$#"'\''`]/\\&/g' -e 's/[\\/&]/\\&/g'
}
country=$(literal "$country")
province=$(literal "$province")
locality=$(literal "$locality")
organisation=$(literal "$organisation")
organisationalunit=$(literal "$organisationalunit")
yourname=$(literal "$yourname")
youremailaddress=$(literal "$youremailaddress")
# openssl refuses a request with an empty attribute: an empty field leaves its
# attribute out (the fill's last step), and a certificate without a mail
# domain is named after this machine.
test -n "$yourname" || yourname=$(literal "$(uname -n)")
test -n "$yourname" || yourname=localhost

# Each line is filled once ("t" ends its cycle), so a value that happens to
# end in a later placeholder word is not replaced a second time.
cat openssl.cnf | sed "s/country*$/$country/ ; t ; s/province*$/$province/ ; t ; s/locality*$/$locality/ ; t ; s/organisation*$/$organisation/ ; t ; s/organisationalunit*$/$organisationalunit/ ; t ; s/yourname*$/$yourname/ ; t ; s/youremailaddress*$/$youremailaddress/" | sed '/^[A-Za-z]* = *$/d' > openssl.cnf.temp 
rm -f cert.pem
/usr/bin/openssl req -new -x509 -nodes -out cert.pem -keyout cert.pem -days 3650 -config openssl.cnf.temp 

# A failed request can leave the key alone in cert.pem: only a certificate
# with its key replaces the installed ones, each swapped in whole, so a
# failed run never breaks certificates that work.
if /usr/bin/openssl x509 -noout -in cert.pem 2>/dev/null && /usr/bin/openssl pkey -noout -in cert.pem 2>/dev/null; then
	for name in imapd ipop3d smtpd; do
		rm -f /System/Library/OpenSSL/certs/$name.pem.new
		cp cert.pem /System/Library/OpenSSL/certs/$name.pem.new \
			&& mv -f /System/Library/OpenSSL/certs/$name.pem.new /System/Library/OpenSSL/certs/$name.pem
	done
	installed=yes
fi

rm -f openssl.cnf.temp cert.pem 
# The window tells the administrator when the note is missing.
test -n "$installed" || exit 1
echo NOTE : Please look into /System/Library/OpenSSL/certs 
