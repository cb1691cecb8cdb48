currentDir=$1 
country=$2 
province=$3 
locality=$4 
organisation=$5 
organisationalunit=$6 
yourname=$7 
youremailaddress=$8 

cd "$currentDir" 

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

# Each line is filled once ("t" ends its cycle), so a value that happens to
# end in a later placeholder word is not replaced a second time.
cat openssl.cnf | sed "s/country*$/$country/ ; t ; s/province*$/$province/ ; t ; s/locality*$/$locality/ ; t ; s/organisation*$/$organisation/ ; t ; s/organisationalunit*$/$organisationalunit/ ; t ; s/yourname*$/$yourname/ ; t ; s/youremailaddress*$/$youremailaddress/" > openssl.cnf.temp 
/usr/bin/openssl req -new -x509 -nodes -out cert.pem -keyout cert.pem -days 3650 -config openssl.cnf.temp 

cp cert.pem /System/Library/OpenSSL/certs/imapd.pem
cp cert.pem /System/Library/OpenSSL/certs/ipop3d.pem
cp cert.pem /System/Library/OpenSSL/certs/smtpd.pem

rm openssl.cnf.temp cert.pem 
echo NOTE : Please look into /System/Library/OpenSSL/certs 
