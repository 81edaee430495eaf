<?php
// Textes de l'installateur, français.
define('INSTALL_WELCOME', 'Bienvenue dans l\'installateur.
Cet assistant vous guide pendant l\'installation.');
define("INSTALL_LICENSE", "Veuillez lire la licence.\n\nVous devez l'accepter pour continuer.");
define('INSTALL_DB_HELP',
    'Saisissez les réglages de la base de données. '
    . 'Demandez-les à votre hébergeur si vous ne les connaissez pas.');
define(
    'INSTALL_DONE',
    "Terminé !\n" .
    "Supprimez maintenant le dossier install."
);
define('INSTALL_SHORT', 'Suivant');
define('INSTALL_INDENTED', 'Première ligne
    deuxième ligne, en retrait
	troisième ligne, après une tabulation');
define('INSTALL_BACK', 'Retour'); define('INSTALL_CANCEL', 'Annuler');
