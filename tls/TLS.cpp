// TLS channel: arrives with the TLS issue.
